-- Script 213: converts a version-3 database to version 4.
-- Templates (status 0) and drafts (status 999) arrive, the window position leaves the user
-- settings for a hotkey, and stakeholder 0 stands for nobody from now on.

update versiontable set dbversion=0 where dbversion=3 !

-- Explicit ids: template 0, draft 999. Statuses added later number from 1000.
insert into status (status_id, status, __sortorder) values (0, 'template', 9001) !
insert into status (status_id, status, __sortorder) values (999, 'draft', 9000) !

alter table UserSettings drop column LastX !
alter table UserSettings drop column LastY !
alter table UserSettings drop column LastWidth !
alter table UserSettings drop column LastHeight !
alter table UserSettings add column Hotkey INTEGER !
alter table UserSettings add column LastTemplateId INTEGER !
update UserSettings set Hotkey=619 !

insert into filter (userid, filtername, filtertext) values (0, 'my templates', 'statusid=0 and (fromid=0 or fromid=@loggedInId)') !
insert into filter (userid, filtername, filtertext) values (0, 'my drafts', 'statusid=999 and fromid=@loggedInId') !

alter table stakeholder add column __readonly INTEGER !
insert into stakeholder (stakeholder_id, email, displayname, loginname, __sortorder, __readonly) values (0, '', '- ? -', 'none', 10000, -1) !

-- Stakeholders added from now on number from 1000 (an existing higher id keeps its place).
update sqlite_sequence set seq=999 where name='stakeholder' and seq<999 !
insert into sqlite_sequence (name, seq) select 'stakeholder', 999 where not exists (select 1 from sqlite_sequence where name='stakeholder') !

update versiontable set dbversion=4 where dbversion=0 !
