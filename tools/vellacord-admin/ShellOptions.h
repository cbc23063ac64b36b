#pragma once
// The options of the commands that work with defects from a shell: defect, hook and search.

#include <QString>
#include <QStringList>

#include <cstdint>

struct ShellOptions {
    std::int32_t defectId = 0;
    bool json = false;
    // defect add
    QString subject;
    QString to;
    QStringList cc;
    QString severity;
    QString priority;
    QString component;
    QString category;
    QString descriptionFile; // "-": the standard input
    // defect comment
    QString text;
    QString textFile; // "-": the standard input
    // defect status
    QString toStatus;
    QString comment;
    // defect comment / status: the defect's modified time as the script read it (defect show --json)
    QString expectModified;
    // hook install / hook run
    QString database;
    QString fixesStatus; // hook install: the status "fixes #N" moves a defect to
    QString revision;    // hook run: the commit to deliver
    QString gitDir;      // hook run: the repository's git folder
    // search
    QStringList words;
};
