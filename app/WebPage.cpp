// The help menu's web pages: filling the address template and opening it in the browser, or saying it failed.

#include "app/WebPage.h"

#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "platform/LocalSettings.h"

#include <cerrno>

QString WebPageAddress(const QString& webSource, const QString& page, const QString& keyword)
{
    QString address = webSource;
    address.replace(QStringLiteral("@@page"), page);
    address.replace(QStringLiteral("@@keyword"), keyword);
    return address;
}

void OpenWebPage(const QString& page, const QString& keyword)
{
    OpenInBrowser(WebPageAddress(TheLocalSettings().webSource, page, keyword));
}

void OpenInBrowser(const QString& address)
{
    UserInterface& ui = TheUserInterface();
    errno = 0;
    if (ui.OpenWithDesktop(address, false))
        return;
    const unsigned long diagnostic = static_cast<unsigned>(errno);
    ShowTextMessage(ui, FormatString(147, address.toUtf8().constData(), diagnostic), Buttons::Ok, Icon::None, 147);
}
