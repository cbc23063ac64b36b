-- Script 197: converts a version-2 database to version 3.
-- Version 1 files have the structure of version 2, and the conversion table sends them here too,
-- so the first statement takes both; otherwise a version-1 file would keep reading version 1.
-- The lookup tables get a sort order, filled from the ids so that the order stays as it was.

update versiontable set dbversion=0 where dbversion=2 or dbversion=1 !

drop view DefectListQuery -!

alter table component add column __sortorder INTEGER !
update component set __sortorder=component_id !
alter table severity add column __sortorder INTEGER !
update severity set __sortorder=severity_id !
alter table status add column __sortorder INTEGER !
update status set __sortorder=status_id !
alter table priority add column __sortorder INTEGER !
update priority set __sortorder=priority_id !
alter table stakeholder add column __sortorder INTEGER !
update stakeholder set __sortorder=stakeholder_id !

-- The engine has no stored procedures; the query the list reads is a view.
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

update versiontable set dbversion=3 where dbversion=0 !
