-- Script 261: converts a version-10 database to version 11: stakeholders get a password and
-- flags. The list's view takes the new columns with the stakeholder's other columns.

update versiontable set dbversion=0 where dbversion=10 !

alter table stakeholder add column passwd varchar(32) NULL !
alter table stakeholder add column userflags varchar(32) NULL !

update versiontable set dbversion=11 where dbversion=0 !
