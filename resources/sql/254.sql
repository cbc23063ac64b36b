-- Script 254: converts a version-8 database to version 9: the user settings remember when they
-- were last saved.

update versiontable set dbversion=0 where dbversion=8 !

alter table UserSettings add column dateLastSaved REAL !
update UserSettings set dateLastSaved=now() !

update versiontable set dbversion=9 where dbversion=0 !
