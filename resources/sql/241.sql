-- Script 241: converts a version-7 database to version 8.
-- Defects remember when their addressee last read them (everything counts as read at the
-- conversion), and carry the found and fixed versions; every view shows the three new columns.

update versiontable set dbversion=0 where dbversion=7 !

drop view DefectListQuery -!

alter table defectlist add column lastread REAL NULL !
update defectlist set lastread=now() !
alter table defectlist add column foundversion varchar(10) NULL !
alter table defectlist add column fixedversion varchar(10) NULL !

insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) select id, 15, 'Read', 120, (select coalesce(max(columnorder), -1) + 1 from viewcolumns where viewid=views.id), 0, 0, 0 from views !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) select id, 16, 'vFound', 60, (select coalesce(max(columnorder), -1) + 1 from viewcolumns where viewid=views.id), 0, 0, 0 from views !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) select id, 17, 'vFixed', 60, (select coalesce(max(columnorder), -1) + 1 from viewcolumns where viewid=views.id), 0, 0, 0 from views !

update UserSettings set NotifyOfChanges=0 !

insert into filter (userid, filtername, filtertext) values (0, 'unread', 'lastread=0') !

create view DefectListQuery as
select DefectList.*, Component.*, Priority.*, Severity.*, Status.*, [To].*, [From].*
from DefectList
    LEFT JOIN Component ON Component.Component_ID = DefectList.ComponentID
    LEFT JOIN Priority ON Priority.Priority_ID = DefectList.PriorityID
    LEFT JOIN Severity ON Severity.Severity_ID = DefectList.SeverityID
    LEFT JOIN Stakeholder AS [To] ON [To].Stakeholder_ID = DefectList.ToID
    LEFT JOIN Status ON Status.Status_ID = DefectList.StatusID
    LEFT JOIN Stakeholder AS [From] ON DefectList.FromID = [From].Stakeholder_ID
go

update versiontable set dbversion=8 where dbversion=0 !
