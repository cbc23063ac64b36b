#pragma once
// A document on a fresh database with three stakeholders, a defect to notify about and a
// temporary folder for tools that record what they were given.

#include "document/DefectDocFixture.h"

#include "document/DefectRecord.h"
#include "mail/NotificationDispatch.h"
#include "platform/LocalSettings.h"

#include <QFile>
#include <QStringList>

class MailFixture : public DefectDocFixture {
protected:
    MailFixture()
    {
        AddStakeholder(setup_, 1, QStringLiteral("Änne Groß"), QStringLiteral("ann"), {}, {},
                       QStringLiteral("ann@example.org"));
        AddStakeholder(setup_, 2, QStringLiteral("Bob"), QStringLiteral("bob"), {}, {},
                       QStringLiteral("bob@example.org"));
        AddStakeholder(setup_, 3, QStringLiteral("Nomail"), QStringLiteral("nomail"), {}, {}, QString());
        doc_.SetOperatingSystemUser([] { return std::nullopt; });
        doc_.SetAutoLogin(QStringLiteral("ann"));
        EXPECT_TRUE(doc_.OnOpenDocument(path_));
        settings_ = LocalSettings();
        settings_.externalMailToolTimeout = 20000;
        defect_.Defect_ID = 42;
        defect_.StatusID = 2;
        defect_.FromID = 1;
        defect_.ToID = 2;
        defect_.Subject = QStringLiteral("Crash on start");
        defect_.Opened = 46000.5;
    }
    ~MailFixture() override { settings_ = LocalSettings(); }

    // An executable script in the test's folder.
    QString Script(const QString& name, const QString& body)
    {
        const QString path = folder_.file(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\n" + body.toUtf8() + '\n');
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return path;
    }

    // A tool that writes its arguments, one per NUL-ended record, to <name>.args.
    QString RecordingTool(const QString& name)
    {
        return Script(name, QStringLiteral("printf '%s\\0' \"$@\" > '%1.args'").arg(folder_.file(name)));
    }
    QStringList RecordedArguments(const QString& name)
    {
        QFile file(folder_.file(name + QStringLiteral(".args")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList arguments = QString::fromUtf8(file.readAll()).split(QChar(0));
        arguments.removeLast();
        return arguments;
    }

    mail::DispatchRequest Request(int method, std::optional<QString> recipients = std::nullopt)
    {
        mail::DispatchRequest request;
        request.method = method;
        request.recipients = std::move(recipients);
        return request;
    }

    LocalSettings& settings_ = TheLocalSettings();
    SystemSettings& system_ = doc_.database().settings();
    DefectRecord defect_;
    mail::NotificationDispatch dispatch_{doc_, ui_};
};
