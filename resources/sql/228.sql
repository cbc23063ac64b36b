-- Script 228: converts a version-5 database to version 6.
-- Statuses get descriptions and the workflow table arrives (the program asks for a workflow
-- after the conversion). The descriptions are those of the German seed of that time; they
-- change nothing where the statuses carry other names.

update versiontable set dbversion=0 where dbversion=5 !

drop view DefectListQuery -!

alter table status add column statusdescription varchar(255) !

create table statustransitions (
    fromStatus INTEGER NOT NULL,
    toStatus INTEGER NOT NULL,
    __sortorder INTEGER,
    commentWordsRequired INTEGER
)
go

update status set statusdescription='Fehlervorlagen beschleunigen die Dateneingabe.' where status='Vorlage' !
update status set statusdescription='Dieser Fehler wurde noch nicht bewertet. Der Verantwortliche (an:) muß entscheiden, was damit geschehen soll.' where status='neu' !
update status set statusdescription='Dieser Fehler wurde angenommen. Der Verantwortliche (an:) soll ihn finden und beheben.' where status='offen' !
update status set statusdescription='An einer Lösung für diesen Fehler wird gearbeitet.' where status='in Arbeit' !
update status set statusdescription='Jemand hat eine Lösung für diesen Fehler entwickelt, sie wurde aber noch nicht getestet.' where status='behoben' !
update status set statusdescription='Die Lösung wurde erfolgreich getestet. Der Fehler ist behoben, die Lösung aber noch nicht freigegeben.' where status='getestet' !
update status set statusdescription='Die Lösung für diesen Fehler wurde eingebaut und offiziell freigegeben.' where status='freigegeben' !
update status set statusdescription='Dieser Fehler wurde abgelehnt. Mögliche Gründe: Es war kein Fehler, sondern ein Bedienungsfehler, oder der Fehler hat mit dem Projekt nichts zu tun.' where status='abgelehnt' !
update status set statusdescription='Dieser Fehler ist nicht mehr von Bedeutung. Mögliche Gründe: Die betroffene Komponente wurde völlig neu geschrieben oder existiert nicht mehr.' where status='überholt' !
update status set statusdescription='Dieser Eintrag beschreibt einen Fall, der bereits in einem anderen Fehlerbericht in der Datenbank erfaßt ist. Er wird nicht mehr einzeln bearbeitet.' where status='zusammengeführt' !
update status set statusdescription='Dieser Fall ist vollständig erledigt.' where status='geschlossen' !
update status set statusdescription='Dieser Fehler galt als erledigt, aber neue Informationen erfordern weitere Arbeit.' where status='wiedereröffnet' !
update status set statusdescription='Dieser Fehler ist ein Entwurf. Er ist noch nicht gültig.' where status='Entwurf' !

-- The list reads only the id and the name of the status.
create view DefectListQuery as
select DefectList.*, Component.*, Priority.*, Severity.*, Status.status_id, Status.status, [To].*, [From].*
from DefectList
    LEFT JOIN Component ON Component.Component_ID = DefectList.ComponentID
    LEFT JOIN Priority ON Priority.Priority_ID = DefectList.PriorityID
    LEFT JOIN Severity ON Severity.Severity_ID = DefectList.SeverityID
    LEFT JOIN Stakeholder AS [To] ON [To].Stakeholder_ID = DefectList.ToID
    LEFT JOIN Status ON Status.Status_ID = DefectList.StatusID
    LEFT JOIN Stakeholder AS [From] ON DefectList.FromID = [From].Stakeholder_ID
go

update versiontable set dbversion=6 where dbversion=0 !
