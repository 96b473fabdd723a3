<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>Ripwell</name>
    <message>
        <source>Select media for extraction</source>
        <translation>Medien zum Extrahieren auswählen</translation>
    </message>
    <message>
        <source>Conversion completed</source>
        <translation>Konvertierung abgeschlossen</translation>
    </message>
    <message>
        <source>Playback media file</source>
        <translation>Mediendatei abspielen</translation>
    </message>
    <message>
        <source>E-Mail media file</source>
        <translation>Mediendatei per E-Mail senden</translation>
    </message>
    <message>
        <source>File manager</source>
        <translation>Dateimanager</translation>
    </message>
    <message>
        <source>Transfer to computer</source>
        <translation>Auf den Computer übertragen</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Weiter</translation>
    </message>
    <message>
        <source>Stop playback</source>
        <translation>Wiedergabe beenden</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Cannot handle DRM protected media. For details see error.log in iTunes File Sharing.</source>
        <translation>DRM-geschützte Medien können nicht verarbeitet werden. Details stehen in error.log in der iTunes-Dateifreigabe.</translation>
    </message>
    <message>
        <source>Connect this iPhone to your Mac or PC. Open iTunes and copy the converted media files with iTunes File Sharing to your desktop or local iTunes library.</source>
        <translation>Verbinden Sie dieses iPhone mit Ihrem Mac oder PC. Öffnen Sie iTunes und kopieren Sie die konvertierten Mediendateien mit der iTunes-Dateifreigabe auf Ihren Schreibtisch oder in Ihre lokale iTunes-Mediathek.</translation>
    </message>
    <message>
        <source>Skipped files</source>
        <translation>Übersprungene Dateien</translation>
    </message>
    <message>
        <source>Selected items</source>
        <translation>Ausgewählte Titel</translation>
    </message>
    <message>
        <source>You have selected more than 25 items. This may take a some time and requires sufficient disk space. Are you sure you want to continue?</source>
        <translation>Sie haben mehr als 25 Titel ausgewählt. Das kann einige Zeit dauern und erfordert ausreichend Speicherplatz. Möchten Sie wirklich fortfahren?</translation>
    </message>
    <message>
        <source>Welcome to Ripwell</source>
        <translation>Willkommen bei Ripwell</translation>
    </message>
    <message>
        <source>Always have access to your songs. Extract MP3 and M4A made easy... Ripwell.</source>
        <translation>Haben Sie Ihre Songs immer dabei. MP3 und M4A ganz einfach extrahieren... Ripwell.</translation>
    </message>
    <message>
        <source>Create backups by extracting your songs from the iPod music library.</source>
        <translation>Erstellen Sie Sicherungen, indem Sie Ihre Songs aus der iPod-Musikmediathek extrahieren.</translation>
    </message>
    <message>
        <source>Synchronize the extracted media files with iTunes File Sharing.</source>
        <translation>Synchronisieren Sie die extrahierten Mediendateien mit der iTunes-Dateifreigabe.</translation>
    </message>
    <message>
        <source>Select songs</source>
        <translation>Titel auswählen</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Konvertieren</translation>
    </message>
    <message>
        <source>Songs</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>The documents folder cannot be used: %1</source>
        <translation>Der Dokumentenordner kann nicht benutzt werden: %1</translation>
    </message>
    <message>
        <source>The documents folder is in use by another conversion (%1). Try again when it has finished.</source>
        <translation>Der Dokumentenordner wird von einer anderen Umwandlung benutzt (%1). Versuchen Sie es erneut, wenn sie beendet ist.</translation>
    </message>
    <message>
        <source>error.log could not be written: %1.</source>
        <translation>error.log konnte nicht geschrieben werden: %1.</translation>
    </message>
    <message>
        <source>Music library inside the documents folder</source>
        <translation>Musikbibliothek im Dokumentenordner</translation>
    </message>
    <message>
        <source>Your music library lies inside Ripwell&apos;s documents folder. Converted songs are written among your songs; a song of the library is never overwritten, the conversion of that song fails instead.</source>
        <translation>Ihre Musikbibliothek liegt im Dokumentenordner von Ripwell. Umgewandelte Titel werden zwischen Ihre Titel geschrieben; ein Titel der Bibliothek wird nie überschrieben, seine Umwandlung schlägt stattdessen fehl.</translation>
    </message>
</context>
</TS>
