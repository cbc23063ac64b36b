-- Script 237: converts a version-6 database to version 7.
-- Spreadsheet query tools stumble over column names that start with underscores, so the sort
-- order and read-only columns get new names. (Tabellenkalkulationen vertragen keine Spaltennamen
-- mit führendem Unterstrich.) Database-wide settings get a table of their own.

update versiontable set dbversion=0 where dbversion=6 !

drop view DefectListQuery -!

alter table component rename column __sortorder to sys_sortorder !
alter table priority rename column __sortorder to sys_sortorder !
alter table severity rename column __sortorder to sys_sortorder !
alter table status rename column __sortorder to sys_sortorder !
alter table stakeholder rename column __sortorder to sys_sortorder !
alter table stakeholder rename column __readonly to sys_readonly !
alter table statustransitions rename column __sortorder to sys_sortorder !

alter table UserSettings add column NotifyOfChanges INTEGER !
update UserSettings set NotifyOfChanges=-1 !

create table SystemSettings (
    BackupsToKeep INTEGER,
    SizeAfterLastCompress INTEGER,
    DateOfLastCompress REAL,
    CompressEveryNDays INTEGER,
    CompressGrowthFactor INTEGER
)
go

create view DefectListQuery as
select DefectList.*, Component.*, Priority.*, Severity.*, Status.status_id, Status.status, [To].*, [From].*
from DefectList
    LEFT JOIN Component ON Component.Component_ID = DefectList.ComponentID
    LEFT JOIN Priority ON Priority.Priority_ID = DefectList.PriorityID
    LEFT JOIN Severity ON Severity.Severity_ID = DefectList.SeverityID
    LEFT JOIN Stakeholder AS [To] ON [To].Stakeholder_ID = DefectList.ToID
    LEFT JOIN Status ON Status.Status_ID = DefectList.StatusID
    LEFT JOIN Stakeholder AS [From] ON DefectList.FromID = [From].Stakeholder_ID
go

update versiontable set dbversion=7 where dbversion=0 !
