#pragma once

#include <QString>

class CDefectDoc {
public:
    bool OnNewDocument();
    bool OnOpenDocument(const QString& path);
    bool CanCloseDocument();
    void OnCloseDocument();
};
