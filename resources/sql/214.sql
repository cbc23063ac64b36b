-- Script 214: converts a version-4 database to version 5: the list refreshes itself and the
-- connection closes when idle.

update versiontable set dbversion=0 where dbversion=4 !

alter table UserSettings add column AutoRefreshList INTEGER !
alter table UserSettings add column AutoCloseDB INTEGER !
update UserSettings set AutoRefreshList=60, AutoCloseDB=5 !

update versiontable set dbversion=5 where dbversion=0 !
