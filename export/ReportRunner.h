#pragma once
// The report commands: a report document is chosen or named, DefectReportView and the data
// source are brought up to date with the current list and database, the document is pointed at
// the data source and opened with the desktop's program for it.

#include <QString>

class CDefectDoc;
class CDefectList;

class CReportRunner {
public:
    CReportRunner(CDefectDoc& document, CDefectList& list, QString reportFolder);

    // `name`: a document, or with `ask` the subfolder whose documents the open-file dialog
    // offers; relative names are taken in the report folder.
    void RunReport(const QString& name, bool ask, bool fixDsn);

    // The folder's readme, which tells how to make one's own reports.
    void OpenReadme();

private:
    void OpenDocument(const QString& path);

    CDefectDoc& document_;
    CDefectList& list_;
    QString reportFolder_;
};
