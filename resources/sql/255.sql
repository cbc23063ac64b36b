-- Script 255: converts a version-9 database to version 10: the notification template and the
-- external tools become database-wide settings.

update versiontable set dbversion=0 where dbversion=9 !

alter table SystemSettings add column email_template TEXT !
alter table SystemSettings add column compressionTool TEXT !
alter table SystemSettings add column sendmailTool TEXT !

update versiontable set dbversion=10 where dbversion=0 !
