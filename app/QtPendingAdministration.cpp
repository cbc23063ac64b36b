// Until the administration dialog exists, choosing a database file stands in for it.
#include "app/QtUserInterface.h"

std::optional<QString> QtUserInterface::RunAdministrationDialog(AdministrationActions&)
{
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Open;
    request.filter = QStringLiteral("*.defl|*.defl|*.mdb|*.mdb||");
    request.defaultExtension = QStringLiteral("defl");
    return ChooseFile(request);
}
