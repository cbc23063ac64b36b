-- Script 190: creates the schema of a new, empty database (version 13).
-- Script 191 fills it with the seed rows right afterwards.
--
-- Whoever changes the structure of the database:
--   1. raise the version in the insert into versiontable at the end of this script
--      and in the define EXPECTED_DB_VERSION (store/DatabaseVersion.h),
--   2. write a conversion script from the previous version to the new one,
--   3. add it to the resources (resources/sql) and to ConvertDatabase's table.
--
-- Dialect notes: a counter column is INTEGER PRIMARY KEY AUTOINCREMENT; counters that start at 0
-- get their first ids explicitly in the seed script. Yes/no columns hold -1 (true) or 0 (false);
-- dates are REAL OLE dates (days since 1899-12-30, 0 = not set). varchar(n) columns hold text
-- of any length to the engine; the program's fixed buffers keep them to n bytes.
-- Multi-line statements end with a line "go", one-line statements with "!".

create table versiontable (
    dbversion INTEGER NOT NULL
)
go

create table component (
    component_id INTEGER NOT NULL CONSTRAINT primarykey PRIMARY KEY AUTOINCREMENT,
    component varchar(255) NOT NULL,
    sys_sortorder INTEGER
)
go

create table priority (
    priority_id INTEGER NOT NULL CONSTRAINT primarykey PRIMARY KEY AUTOINCREMENT,
    priority varchar(20) NOT NULL,
    sys_sortorder INTEGER
)
go

create table severity (
    severity_id INTEGER NOT NULL CONSTRAINT primarykey PRIMARY KEY AUTOINCREMENT,
    severity varchar(20) NOT NULL,
    sys_sortorder INTEGER
)
go

create table stakeholder (
    stakeholder_id INTEGER NOT NULL CONSTRAINT primarykey PRIMARY KEY AUTOINCREMENT,
    email varchar(255) NOT NULL,
    displayname varchar(80),
    loginname varchar(50),
    sys_sortorder INTEGER,
    sys_readonly INTEGER,
    passwd varchar(32) NULL,
    userflags varchar(32) NULL
)
go

create table category (
    category_id INTEGER NOT NULL CONSTRAINT primarykey PRIMARY KEY AUTOINCREMENT,
    category varchar(50) NOT NULL,
    sys_sortorder INTEGER,
    categorydescription varchar(255)
)
go

create table status (
    status_id INTEGER NOT NULL CONSTRAINT primarykey PRIMARY KEY AUTOINCREMENT,
    status varchar(50) NOT NULL,
    sys_sortorder INTEGER,
    statusdescription varchar(255)
)
go

create table statustransitions (
    fromStatus INTEGER NOT NULL,
    toStatus INTEGER NOT NULL,
    sys_sortorder INTEGER,
    commentWordsRequired INTEGER
)
go

-- Every column added to defectlist needs a column in the default view as well
-- (the seed of viewcolumns and the conversion script that adds the column).
create table defectlist (
    defect_id INTEGER NOT NULL CONSTRAINT primarykey PRIMARY KEY AUTOINCREMENT,
    statusid INTEGER NULL,
    priorityid INTEGER NULL,
    severityid INTEGER NULL,
    subject varchar(255) NULL,
    description TEXT NULL,
    componentid INTEGER NULL,
    toid INTEGER NULL,
    fromid INTEGER NULL,
    foundbuild INTEGER NULL,
    fixedbuild INTEGER NULL,
    comments TEXT NULL,
    history TEXT NULL,
    opened REAL NULL,
    modified REAL NULL,
    closed REAL NULL,
    lastread REAL NULL,
    foundversion varchar(10) NULL,
    fixedversion varchar(10) NULL,
    categoryid INTEGER NULL,
    cc varchar(255) NULL
)
go

create table filter (
    id INTEGER NOT NULL CONSTRAINT primarykey PRIMARY KEY AUTOINCREMENT,
    userid INTEGER NOT NULL,
    filtername varchar(50) NULL,
    filtertext varchar(255) NULL
)
go

create table views (
    id INTEGER NOT NULL CONSTRAINT primarykey PRIMARY KEY AUTOINCREMENT,
    userid INTEGER NOT NULL,
    viewname varchar(50) NOT NULL
)
go

create table viewcolumns (
    viewid INTEGER NOT NULL,
    columnid INTEGER NOT NULL,
    [name] varchar(50) NOT NULL,
    width INTEGER NOT NULL,
    columnorder INTEGER NOT NULL,
    sortorder INTEGER NOT NULL,
    descending INTEGER,
    invisible INTEGER,
    CONSTRAINT primarykey PRIMARY KEY (viewid, columnid)
)
go

-- A primary key admits no empty value, so UserId is not null here; "int" (not "INTEGER") keeps
-- it from becoming the row id, which would hand out a number for a missing one.
create table UserSettings (
    UserId int NOT NULL,
    LastDefectId INTEGER,
    LastViewId INTEGER,
    LastFilterId INTEGER,
    LastFilterState INTEGER,
    LastMyDefectsState INTEGER,
    Hotkey INTEGER,
    LastTemplateId INTEGER,
    AutoRefreshList INTEGER,
    AutoCloseDB INTEGER,
    NotifyOfChanges INTEGER,
    dateLastSaved REAL,
    CONSTRAINT PrimaryKey PRIMARY KEY (UserId)
)
go

create table SystemSettings (
    BackupsToKeep INTEGER,
    SizeAfterLastCompress INTEGER,
    DateOfLastCompress REAL,
    CompressEveryNDays INTEGER,
    CompressGrowthFactor INTEGER,
    email_template TEXT,
    compressionTool TEXT,
    sendmailTool TEXT
)
go

-- Every defect appears once, whether or not its references resolve. The lookups are joined in the
-- order category, component, priority, severity, addressee, status, author. Each is the mirror of
-- "Lookup RIGHT JOIN (the join so far)": the same rows, but written this way SQLite finds a
-- defect by its key instead of building the whole joined list for every query.
-- Lookup columns that occur once keep their names; the repeated ones are qualified with their
-- table or alias.
create view DefectListQuery as
select
    DefectList.defect_id, DefectList.statusid, DefectList.priorityid, DefectList.severityid,
    DefectList.subject, DefectList.description, DefectList.componentid, DefectList.toid,
    DefectList.fromid, DefectList.foundbuild, DefectList.fixedbuild, DefectList.comments,
    DefectList.history, DefectList.opened, DefectList.modified, DefectList.closed,
    DefectList.lastread, DefectList.foundversion, DefectList.fixedversion, DefectList.categoryid,
    DefectList.cc,
    category.category_id, category.category, category.sys_sortorder AS "category.sys_sortorder",
    category.categorydescription,
    Component.component_id, Component.component, Component.sys_sortorder AS "Component.sys_sortorder",
    Priority.priority_id, Priority.priority, Priority.sys_sortorder AS "Priority.sys_sortorder",
    Severity.severity_id, Severity.severity, Severity.sys_sortorder AS "Severity.sys_sortorder",
    Status.status_id, Status.status, Status.sys_sortorder AS "Status.sys_sortorder",
    Status.statusdescription,
    [To].stakeholder_id AS "To.stakeholder_id", [To].email AS "To.email",
    [To].displayname AS "To.displayname", [To].loginname AS "To.loginname",
    [To].sys_sortorder AS "To.sys_sortorder", [To].sys_readonly AS "To.sys_readonly",
    [To].passwd AS "To.passwd", [To].userflags AS "To.userflags",
    [From].stakeholder_id AS "From.stakeholder_id", [From].email AS "From.email",
    [From].displayname AS "From.displayname", [From].loginname AS "From.loginname",
    [From].sys_sortorder AS "From.sys_sortorder", [From].sys_readonly AS "From.sys_readonly",
    [From].passwd AS "From.passwd", [From].userflags AS "From.userflags"
from DefectList
    LEFT JOIN Category ON category.category_id = DefectList.categoryid
    LEFT JOIN Component ON Component.Component_ID = DefectList.ComponentID
    LEFT JOIN Priority ON Priority.Priority_ID = DefectList.PriorityID
    LEFT JOIN Severity ON Severity.Severity_ID = DefectList.SeverityID
    LEFT JOIN Stakeholder AS [To] ON [To].Stakeholder_ID = DefectList.ToID
    LEFT JOIN Status ON Status.Status_ID = DefectList.StatusID
    LEFT JOIN Stakeholder AS [From] ON DefectList.FromID = [From].Stakeholder_ID
go

insert into versiontable (dbversion) values (13) !
