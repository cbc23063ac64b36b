-- Script 270: converts a version-12 database to version 13: defects get a cc list of further
-- addressees, and the default view shows it.

update versiontable set dbversion=0 where dbversion=12 !

drop view DefectListQuery -!

alter table defectlist add column cc varchar(255) NULL !

insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) select id, 19, 'Cc', 120, (select coalesce(max(columnorder), -1) + 1 from viewcolumns where viewid=views.id), 0, 0, 0 from views where id=1 !

-- Every column is named, so that the repeated ones keep names the program can refer to.
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

update versiontable set dbversion=13 where dbversion=0 !
