// The about box: the program's version, the virtual memory in use and its change since last shown.

#include "app/AboutDialog.h"

#include "app/MemoryStatus.h"
#include "base/ProductInfo.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Vellacord"));
    auto* layout = new QVBoxLayout(this);
    auto* version = new QLabel(QStringLiteral("Vellacord Version %1").arg(QLatin1String(kProgramVersion)), this);
    version->setObjectName(QStringLiteral("version"));
    layout->addWidget(version);
    if (*kHomePageAddress != '\0') {
        const QString address = QLatin1String(kHomePageAddress);
        auto* homePage = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(address.toHtmlEscaped()), this);
        homePage->setObjectName(QStringLiteral("homePage"));
        homePage->setOpenExternalLinks(true);
        layout->addWidget(homePage);
    }

    auto* figures = new QFormLayout;
    auto* inUse = new QLabel(QStringLiteral("%1 KiB").arg(VirtualMemoryInUseKiB()), this);
    inUse->setObjectName(QStringLiteral("memoryInUse"));
    auto* change =
        new QLabel(QStringLiteral("%1 KiB").arg(TheAvailableMemoryTrend().Change(AvailableVirtualMemoryKiB())), this);
    change->setObjectName(QStringLiteral("memoryChange"));
    figures->addRow(QStringLiteral("Virtual memory in use:"), inUse);
    figures->addRow(QStringLiteral("Change since last shown:"), change);
    layout->addLayout(figures);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}
