#include "document/DefectDoc.h"

bool CDefectDoc::OnNewDocument()
{
    return true;
}

bool CDefectDoc::OnOpenDocument(const QString&)
{
    return true;
}

bool CDefectDoc::CanCloseDocument()
{
    return true;
}

void CDefectDoc::OnCloseDocument()
{
}
