-- Script 191 for a database on a PostgreSQL server: the same seed rows as the file's script 191,
-- run right after script 190 of this folder.
-- Counters that start at 0 get their ids explicitly, and their sequences are set after them;
-- the others number from 1 by themselves.
-- Yes/no values are -1 (true) and 0 (false).

-- The default view. A row's columnorder names the column shown at the position given by the
-- row's columnid (position 8 shows column 18, Category), so the list reads: Id, Status,
-- Subject, To, From, Priority, Severity, Component, Category, Found in, Found build, Fixed in,
-- Fixed build, Opened, Modified, Closed, Read, Cc, Description, Details (hidden).
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 0, 'Id', 60, 0, 1, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 1, 'Status', 80, 1, 2, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 2, 'Subject', 250, 2, 4, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 3, 'To', 100, 3, 6, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 4, 'From', 100, 4, 5, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 5, 'Priority', 80, 5, 0, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 6, 'Severity', 70, 6, 0, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 7, 'Component', 120, 7, 3, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 8, 'Found build', 60, 18, 0, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 9, 'Fixed build', 60, 16, 0, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 10, 'Description', 400, 8, 0, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 11, 'Opened', 90, 17, 0, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 12, 'Modified', 90, 9, 0, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 13, 'Closed', 90, 11, 0, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 14, 'Details', 400, 12, 0, 0, -1) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 15, 'Read', 120, 13, 0, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 16, 'Found in', 60, 15, 0, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 17, 'Fixed in', 60, 19, 0, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 18, 'Category', 120, 10, 0, 0, 0) !
insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) values (1, 19, 'Cc', 120, 14, 0, 0, 0) !

insert into views (userid, viewname) values (0, 'default') !

insert into filter (userid, filtername, filtertext) values (0, 'default', 'statusid<>0 AND (statusid<>999 or fromid=@loggedInId)') !
insert into filter (userid, filtername, filtertext) values (0, 'unread', 'lastread=0') !
insert into filter (userid, filtername, filtertext) values (0, 'new defects', 'status=''new'' and categoryid=0') !
insert into filter (userid, filtername, filtertext) values (0, 'unfinished defects', 'status<>''closed'' AND status<>''merged'' AND status<>''rejected'' AND status<>''obsolete'' AND statusid<>0 and categoryid=0') !
insert into filter (userid, filtername, filtertext) values (0, 'unfinished features', 'status<>''closed'' AND status<>''merged'' AND status<>''rejected'' AND status<>''obsolete'' AND statusid<>0 and categoryid=1') !
insert into filter (userid, filtername, filtertext) values (0, 'unfinished todo', 'status<>''closed'' AND status<>''merged'' AND status<>''rejected'' AND status<>''obsolete'' AND statusid<>0 and categoryid=2') !
insert into filter (userid, filtername, filtertext) values (0, 'new features', 'status=''new'' and categoryid=1') !
insert into filter (userid, filtername, filtertext) values (0, 'new todo', 'status=''new'' and categoryid=2') !
insert into filter (userid, filtername, filtertext) values (0, 'my templates', 'statusid=0 and (fromid=0 or fromid=@loggedInId)') !
insert into filter (userid, filtername, filtertext) values (0, 'my drafts', 'statusid=999 and fromid=@loggedInId') !

-- Stakeholder 0 stands for nobody: the author or addressee that is not set.
insert into stakeholder (stakeholder_id, email, displayname, loginname, sys_sortorder, sys_readonly) values (0, '', '- ? -', 'none', 10000, -1) !

insert into component (component, sys_sortorder) values ('<none>', 0) !

insert into priority (priority_id, priority, sys_sortorder) values (0, '<unevaluated>', 0) !
insert into priority (priority_id, priority, sys_sortorder) values (1, 'low', 1) !
insert into priority (priority_id, priority, sys_sortorder) values (2, 'medium', 2) !
insert into priority (priority_id, priority, sys_sortorder) values (3, 'high', 3) !
insert into priority (priority_id, priority, sys_sortorder) values (4, 'critical', 4) !

insert into severity (severity_id, severity, sys_sortorder) values (0, '<unevaluated>', 0) !
insert into severity (severity_id, severity, sys_sortorder) values (1, 'low', 1) !
insert into severity (severity_id, severity, sys_sortorder) values (2, 'medium', 2) !
insert into severity (severity_id, severity, sys_sortorder) values (3, 'high', 3) !
insert into severity (severity_id, severity, sys_sortorder) values (4, 'critical', 4) !

insert into category (category_id, category, sys_sortorder) values (0, 'bug', 0) !
insert into category (category_id, category, sys_sortorder) values (1, 'feature', 1) !
insert into category (category_id, category, sys_sortorder) values (2, 'todo', 2) !

insert into status (status_id, status, sys_sortorder) values (0, 'template', 9000) !
insert into status (status_id, status, sys_sortorder) values (1, 'new', 1) !
insert into status (status_id, status, sys_sortorder) values (2, 'open', 2) !
insert into status (status_id, status, sys_sortorder) values (3, 'in progress', 3) !
insert into status (status_id, status, sys_sortorder) values (4, 'fixed', 4) !
insert into status (status_id, status, sys_sortorder) values (5, 'tested', 5) !
insert into status (status_id, status, sys_sortorder) values (6, 'released', 6) !
insert into status (status_id, status, sys_sortorder) values (7, 'rejected', 7) !
insert into status (status_id, status, sys_sortorder) values (8, 'obsolete', 8) !
insert into status (status_id, status, sys_sortorder) values (9, 'merged', 9) !
insert into status (status_id, status, sys_sortorder) values (10, 'closed', 10) !
insert into status (status_id, status, sys_sortorder) values (11, 'reopened', 11) !
select setval(pg_get_serial_sequence('priority', 'priority_id'), 4) !
select setval(pg_get_serial_sequence('severity', 'severity_id'), 4) !
select setval(pg_get_serial_sequence('category', 'category_id'), 2) !
-- User entries start at 1000, leaving room for default additions: the next id is 999 ("draft").
select setval(pg_get_serial_sequence('status', 'status_id'), 998) !
insert into status (status, sys_sortorder) values ('draft', 9000) !

update status set statusdescription='Defecttemplates speed up your data entry.' where status='template' !
update status set statusdescription='This defect has not yet been evaluated. The person responsible (to:) must decide what to do with it.' where status='new' !
update status set statusdescription='This defect has been accepted. The person responsible (to:) is supposed to find and fix it.' where status='open' !
update status set statusdescription='A fix for this defect is in the works.' where status='in progress' !
update status set statusdescription='Someone has developed a fix for this defect, but it has not been tested yet.' where status='fixed' !
update status set statusdescription='The fix for the defect has been tested successfully. The defect has been fixed, but the fix has not been released yet.' where status='tested' !
update status set statusdescription='The fix for this defect has been integrated and officially released.' where status='released' !
update status set statusdescription='This defect was rejected. Possible reasons: It was no defect, but a mistake made by the user or the defect is completely unrelated to the project.' where status='rejected' !
update status set statusdescription='This defect is no longer relevant. Possible reasons: The affected component was completely redone or does no longer exist.' where status='obsolete' !
update status set statusdescription='This defect entry describes a case that is covered in another defect report, which has already been entered into the database. This defect entry will no longer be handled individually.' where status='merged' !
update status set statusdescription='This issue has been completely resolved.' where status='closed' !
update status set statusdescription='This defect was thought to be closed, but new information requires more work to be done.' where status='reopened' !
update status set statusdescription='This defect is a draft. It is not yet valid.' where status='draft' !
