-- Script 265: converts a version-11 database to version 12.
-- Defects get a category; the existing ones are bugs.

update versiontable set dbversion=0 where dbversion=11 !

drop view DefectListQuery -!

create table category (
    category_id INTEGER NOT NULL CONSTRAINT primarykey PRIMARY KEY AUTOINCREMENT,
    category varchar(50) NOT NULL,
    sys_sortorder INTEGER,
    categorydescription varchar(255)
)
go

insert into category (category_id, category, sys_sortorder) values (0, 'bug', 0) !
insert into category (category_id, category, sys_sortorder) values (1, 'feature', 1) !
insert into category (category_id, category, sys_sortorder) values (2, 'todo', 2) !

insert into filter (userid, filtername, filtertext) values (0, 'unfinished features', 'status<>''closed'' AND status<>''merged'' AND status<>''rejected'' AND status<>''obsolete'' AND statusid<>0 and categoryid=1') !
insert into filter (userid, filtername, filtertext) values (0, 'unfinished todo', 'status<>''closed'' AND status<>''merged'' AND status<>''rejected'' AND status<>''obsolete'' AND statusid<>0 and categoryid=2') !
insert into filter (userid, filtername, filtertext) values (0, 'new features', 'status=''new'' and categoryid=1') !
insert into filter (userid, filtername, filtertext) values (0, 'new todo', 'status=''new'' and categoryid=2') !

alter table defectlist add column categoryid INTEGER NULL !
update defectlist set categoryid=0 !

insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) select id, 18, 'Categorie', 120, (select coalesce(max(columnorder), -1) + 1 from viewcolumns where viewid=views.id), 0, 0, 0 from views where id=1 !

create view DefectListQuery as
select DefectList.*, category.*, Component.*, Priority.*, Severity.*, Status.*, [To].*, [From].*
from DefectList
    LEFT JOIN Category ON category.category_id = DefectList.categoryid
    LEFT JOIN Component ON Component.Component_ID = DefectList.ComponentID
    LEFT JOIN Priority ON Priority.Priority_ID = DefectList.PriorityID
    LEFT JOIN Severity ON Severity.Severity_ID = DefectList.SeverityID
    LEFT JOIN Stakeholder AS [To] ON [To].Stakeholder_ID = DefectList.ToID
    LEFT JOIN Status ON Status.Status_ID = DefectList.StatusID
    LEFT JOIN Stakeholder AS [From] ON DefectList.FromID = [From].Stakeholder_ID
go

update versiontable set dbversion=12 where dbversion=0 !
