#pragma once
// Administration as far as this build offers it, until the administration dialog exists.

#include "store/AdministrationActions.h"

class Clock;
class UserInterface;

class StandInAdministration : public AdministrationActions {
public:
    StandInAdministration(UserInterface& ui, const Clock& clock) : ui_(ui), clock_(clock) {}

    bool CreateDatabase(const QString& path) override;
    bool CompactAndRepair(const QString& path) override;
    bool ConvertDatabase(const QString& path) override;

private:
    UserInterface& ui_;
    const Clock& clock_;
};
