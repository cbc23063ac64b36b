#!/usr/bin/python3
# Makes the LibreOffice report documents below reports/ anew: the Base document on the ODBC data
# source "Vellacord", and the spreadsheets whose ranges read the database registered under that
# name. Needs libreoffice-calc, libreoffice-base, libreoffice-base-drivers and python3-uno, which
# scripts/install-deps.sh does not install. Usage: scripts/make-report-documents.py [REPORTS_DIR]
import os
import sqlite3
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.awt import Rectangle
from com.sun.star.beans import PropertyValue
from com.sun.star.lang import Locale
from com.sun.star.table import CellRangeAddress

COLUMNS = ("defect_id status priority severity category component from_name to_name opened modified closed "
           "foundversion foundbuild fixedversion fixedbuild subject description comments history").split()
DATE_COLUMNS = ("opened", "modified", "closed")
PORT = 20931
REFRESH_SECONDS = 5


def prop(name, value):
    result = PropertyValue()
    result.Name, result.Value = name, value
    return result


def sample_database(folder):
    # One row, so that the documents keep a data row whose place later rows take.
    path = os.path.join(folder, "sample.defl")
    connection = sqlite3.connect(path)
    connection.execute("CREATE TABLE defects (%s)" % ", ".join(COLUMNS))
    connection.execute("INSERT INTO defects (defect_id, status) VALUES (1, 'new')")
    connection.execute("CREATE VIEW DefectReportView AS SELECT * FROM defects")
    connection.commit()
    connection.close()
    return path


def start_office(folder, database):
    ini = os.path.join(folder, "odbc.ini")
    with open(ini, "w") as file:
        file.write("[Vellacord]\nDriver=SQLite3\nDatabase=file://%s?mode=ro\nNoCreat=1\nStepAPI=0\nNoTXN=1\n" % database)
    environment = dict(os.environ, HOME=os.path.join(folder, "home"), ODBCINI=ini)
    office = subprocess.Popen(["soffice", "--headless", "--invisible", "--norestore", "--nologo",
                               "--accept=socket,host=127.0.0.1,port=%d;urp;" % PORT], env=environment)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
    for _ in range(60):
        try:
            return office, resolver.resolve("uno:socket,host=127.0.0.1,port=%d;urp;StarOffice.ComponentContext" % PORT)
        except Exception:
            time.sleep(1)
    office.kill()
    sys.exit("LibreOffice did not answer")


def make_base_document(context, path):
    databases = context.ServiceManager.createInstanceWithContext("com.sun.star.sdb.DatabaseContext", context)
    source = databases.createInstance()
    source.URL = "sdbc:odbc:Vellacord"
    source.IsPasswordRequired = False
    queries = source.QueryDefinitions
    for name, sql in (("Current list", "SELECT * FROM DefectReportView"),
                      ("Defects per status",
                       "SELECT status, COUNT(*) AS defects FROM DefectReportView GROUP BY status ORDER BY status")):
        query = queries.createInstance()
        query.Command, query.EscapeProcessing = sql, False
        queries.insertByName(name, query)
    source.DatabaseDocument.storeAsURL(uno.systemPathToFileUrl(path), ())
    # The spreadsheets name the database as LibreOffice users register it.
    if databases.hasRegisteredDatabase("Vellacord"):
        databases.revokeDatabaseLocation("Vellacord")
    databases.registerDatabaseLocation("Vellacord", uno.systemPathToFileUrl(path))


def make_spreadsheet(context, path, title, range_name, sql, placeholder, chart):
    desktop = context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)
    document = desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, (prop("Hidden", True),))
    sheet = document.Sheets.getByIndex(0)
    sheet.Name = title
    area = CellRangeAddress()
    area.Sheet, area.EndColumn, area.EndRow = 0, 1, 1
    document.DatabaseRanges.addNewByName(range_name, area)
    data = document.DatabaseRanges.getByName(range_name)
    data.KeepFormats, data.MoveCells, data.RefreshPeriod = True, True, REFRESH_SECONDS
    descriptor = data.getImportDescriptor()
    for item in descriptor:
        if item.Name == "DatabaseName":
            item.Value = "Vellacord"
        elif item.Name == "SourceType":
            item.Value = uno.Enum("com.sun.star.sheet.DataImportMode", "SQL")
        elif item.Name == "SourceObject":
            item.Value = sql
        elif item.Name == "IsNative":
            item.Value = True
    data.getReferredCells().doImport(tuple(descriptor))
    # Until the first refresh the data row says that nothing was read yet.
    end = data.DataArea.EndColumn
    for column in range(end + 1):
        sheet.getCellByPosition(column, 1).String = ""
    column, text = placeholder
    sheet.getCellByPosition(column, 1).String = text
    formats = document.NumberFormats
    date_format = formats.queryKey("YYYY-MM-DD HH:MM", Locale(), False)
    if date_format < 0:
        date_format = formats.addNew("YYYY-MM-DD HH:MM", Locale())
    for name in DATE_COLUMNS:
        if name in COLUMNS and end >= COLUMNS.index(name):
            sheet.Columns.getByIndex(COLUMNS.index(name)).NumberFormat = date_format
    if chart:
        sheet.getCellByPosition(1, 1).Value = 0
        # One row below the range: the rows a refresh inserts fall inside the chart's range.
        chart_area = CellRangeAddress()
        chart_area.Sheet, chart_area.EndColumn, chart_area.EndRow = 0, 1, data.DataArea.EndRow + 1
        place = Rectangle()
        place.X, place.Y, place.Width, place.Height = 9000, 500, 14000, 9000
        sheet.Charts.addNewByName(range_name + "Chart", place, (chart_area,), True, True)
    document.storeToURL(uno.systemPathToFileUrl(path), (prop("FilterName", "calc8"),))
    document.close(True)


def main():
    reports = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "reports"))
    with tempfile.TemporaryDirectory() as folder:
        office, context = start_office(folder, sample_database(folder))
        try:
            make_base_document(context, os.path.join(reports, "lists", "Defect list.odb"))
            make_spreadsheet(context, os.path.join(reports, "lists", "Current list.ods"), "Current list", "CurrentList",
                             "SELECT * FROM DefectReportView", (COLUMNS.index("subject"), "(not read yet)"), False)
            make_spreadsheet(context, os.path.join(reports, "charts", "Defects per status.ods"), "Defects per status",
                             "DefectsPerStatus",
                             "SELECT status, COUNT(*) AS defects FROM DefectReportView GROUP BY status ORDER BY status",
                             (0, "(not read yet)"), True)
        finally:
            try:
                context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context).terminate()
            except Exception:
                pass
            office.wait(30)


if __name__ == "__main__":
    main()
