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
        <source>Cannot handle DRM protected media.</source>
        <translation>DRM-geschützte Medien können nicht verarbeitet werden.</translation>
    </message>
    <message>
        <source>The converted media files are in %1 on this computer. To take them to a phone, a player or another computer, copy them from there with your file manager, or drag them out of the File manager here, onto the device, a USB stick or a shared folder.</source>
        <translation>Die konvertierten Mediendateien liegen in %1 auf diesem Computer. Um sie auf ein Telefon, einen Player oder einen anderen Computer zu bringen, kopieren Sie sie von dort mit Ihrem Dateimanager oder ziehen Sie sie hier aus dem Dateimanager heraus, auf das Gerät, einen USB-Stick oder in einen freigegebenen Ordner.</translation>
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
        <source>Create backups by extracting your songs from your music library.</source>
        <translation>Erstellen Sie Sicherungen, indem Sie Ihre Songs aus Ihrer Musikmediathek extrahieren.</translation>
    </message>
    <message>
        <source>Take the extracted media files anywhere: copy them from your documents folder to a phone, a player or another computer.</source>
        <translation>Nehmen Sie die extrahierten Mediendateien überallhin mit: Kopieren Sie sie aus Ihrem Dokumentenordner auf ein Telefon, einen Player oder einen anderen Computer.</translation>
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
        <source>Reading the music library…</source>
        <translation>Die Musikbibliothek wird gelesen…</translation>
    </message>
    <message>
        <source>No songs in the music library.</source>
        <translation>Keine Titel in der Musikbibliothek.</translation>
    </message>
    <message>
        <source>Songs are read from %1 and the folders in it.</source>
        <translation>Titel werden aus %1 und den Ordnern darin gelesen.</translation>
    </message>
    <message>
        <source>No song matches the search.</source>
        <translation>Kein Titel passt zur Suche.</translation>
    </message>
    <message>
        <source>no songs in the music library %1</source>
        <translation>keine Titel in der Musikbibliothek %1</translation>
    </message>
    <message>
        <source>no song matches %1</source>
        <translation>kein Titel passt zu %1</translation>
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
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>Preparing songs</source>
        <translation>Titel werden vorbereitet</translation>
    </message>
    <message>
        <source>index.html</source>
        <translation>index.de.html</translation>
    </message>
    <message>
        <source>E-Mail</source>
        <translation>E-Mail</translation>
    </message>
    <message>
        <source>This entry could not be deleted.</source>
        <translation>Dieser Eintrag konnte nicht gelöscht werden.</translation>
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
    <message>
        <source>To:</source>
        <translation>An:</translation>
    </message>
    <message>
        <source>Cc:</source>
        <translation>Kopie:</translation>
    </message>
    <message>
        <source>Subject:</source>
        <translation>Betreff:</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Sichern</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>To</source>
        <translation>An</translation>
    </message>
    <message>
        <source>Cc</source>
        <translation>Kopie</translation>
    </message>
    <message>
        <source>Enter at least one recipient.</source>
        <translation>Geben Sie mindestens einen Empfänger ein.</translation>
    </message>
    <message>
        <source>"%1" in %2 is not a valid e-mail address.</source>
        <translation>„%1“ in %2 ist keine gültige E-Mail-Adresse.</translation>
    </message>
    <message>
        <source>Sending…</source>
        <translation>Wird gesendet …</translation>
    </message>
    <message>
        <source>Sent.</source>
        <translation>Gesendet.</translation>
    </message>
    <message>
        <source>Saving…</source>
        <translation>Wird gesichert …</translation>
    </message>
    <message>
        <source>Saved.</source>
        <translation>Gesichert.</translation>
    </message>
    <message>
        <source>Mail not sent</source>
        <translation>E-Mail nicht gesendet</translation>
    </message>
    <message>
        <source>Not sent. The message was saved in the drafts folder.</source>
        <translation>Nicht gesendet. Die Nachricht wurde im Entwurfsordner gesichert.</translation>
    </message>
    <message>
        <source>The message was saved in the drafts folder.</source>
        <translation>Die Nachricht wurde im Entwurfsordner gesichert.</translation>
    </message>
    <message>
        <source>The file "%1" could not be attached.</source>
        <translation>Die Datei „%1“ konnte nicht angehängt werden.</translation>
    </message>
    <message>
        <source>The file "%1" could not be read.</source>
        <translation>Die Datei „%1“ konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The sender address "%1" is not valid.</source>
        <translation>Die Absenderadresse „%1“ ist ungültig.</translation>
    </message>
    <message>
        <source>The message could not be written: %1</source>
        <translation>Die Nachricht konnte nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>The message could not be written: the file "%1" could not be read or the disk is full.</source>
        <translation>Die Nachricht konnte nicht geschrieben werden: Die Datei „%1“ war nicht lesbar oder der Datenträger ist voll.</translation>
    </message>
    <message>
        <source>The drafts folder "%1" could not be created.</source>
        <translation>Der Entwurfsordner „%1“ konnte nicht angelegt werden.</translation>
    </message>
    <message>
        <source>The message could not be saved in the drafts folder "%1".</source>
        <translation>Die Nachricht konnte nicht im Entwurfsordner „%1“ gesichert werden.</translation>
    </message>
    <message>
        <source>The mail could not be sent because the program "%1" could not be started. Set RIPWELL_SENDMAIL to a sendmail-compatible program.</source>
        <translation>Die E-Mail konnte nicht gesendet werden, weil das Programm „%1“ nicht gestartet werden konnte. Setzen Sie RIPWELL_SENDMAIL auf ein sendmail-kompatibles Programm.</translation>
    </message>
    <message>
        <source>The mail could not be sent: "%1" did not finish.</source>
        <translation>Die E-Mail konnte nicht gesendet werden: „%1“ wurde nicht fertig.</translation>
    </message>
    <message>
        <source>The mail could not be sent: "%1" stopped unexpectedly.</source>
        <translation>Die E-Mail konnte nicht gesendet werden: „%1“ brach unerwartet ab.</translation>
    </message>
    <message>
        <source>The mail could not be sent: "%1" ended with status %2.</source>
        <translation>Die E-Mail konnte nicht gesendet werden: „%1“ endete mit Status %2.</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Bcc:</source>
        <translation>Bcc:</translation>
    </message>
    <message>
        <source>Usage: ripwell-cli [--library DIR] [--documents DIR] [--list] [--yes] [--all] [--rescan]
                  [--prune] [--dry-run] [--no-wait] [--verbose] [FILTER…]
</source>
        <translation>Aufruf: ripwell-cli [--library ORDNER] [--documents ORDNER] [--list] [--yes] [--all]
                   [--rescan] [--prune] [--dry-run] [--no-wait] [--verbose] [FILTER…]
</translation>
    </message>
    <message>
        <source>Copies songs out of a music library into ordinary audio files, without re-encoding:
each song becomes DOCUMENTS/Artist/Album/Title.ext, as MP3, M4A, WAV, AIFF, FLAC,
Ogg Vorbis, Opus or WavPack by the song&apos;s own format.
</source>
        <translation>Kopiert Titel aus einer Musikbibliothek in gewöhnliche Audiodateien, ohne sie neu zu
kodieren: Jeder Titel wird zu DOKUMENTE/Interpret/Album/Titel.ext, als MP3, M4A, WAV,
AIFF, FLAC, Ogg Vorbis, Opus oder WavPack, je nach dem eigenen Format des Titels.
</translation>
    </message>
    <message>
        <source>  FILTER…          select the songs whose &quot;artist / album / title&quot; contains every
                   FILTER word (case is ignored); without a filter, every song
  --library DIR    the music library (default: $RIPWELL_LIBRARY, else your music folder)
  --documents DIR  where the files go (default: $RIPWELL_DOCUMENTS, else
                   your documents folder plus Ripwell)
  --list           print the selection (artist, album, title, format or why it is
                   left out, and the file&apos;s path in the library) and exit
  --playlist NAME  select the songs of the library&apos;s playlist NAME (its name, or its
                   file&apos;s path in the library), in its order, and write
                   DOCUMENTS/Playlists/NAME.m3u8 listing their files; may be given
                   more than once
  --list --playlists  print the library&apos;s playlists (name, songs it converts,
                   entries left out, the file&apos;s path in the library) and exit
  --yes            do not ask before converting 26 or more songs (needed for that
                   many when standard input is not a terminal)
  --all            convert every selected song again, also those whose file is
                   up to date
  --rescan         read every song of the library again instead of trusting its
                   index (which is then made afresh)
  --prune          also remove the files of songs that are no longer in the library
                   (only files Ripwell made and nobody changed since, and the folders
                   it made that this leaves empty; among the FILTER&apos;s songs only)
  --dry-run, -n    print what a run would do with each song, and the counts, and
                   write nothing at all
  --no-wait        when another run is writing into the documents folder, exit
                   (status 2) instead of waiting for it to finish
  --verbose        also print the import&apos;s debug log lines
  --help           show this text
</source>
        <translation>  FILTER…             wählt die Titel, deren „Interpret / Album / Titel“ jedes
                      FILTER-Wort enthält (Groß-/Kleinschreibung zählt nicht);
                      ohne Filter jeden Titel
  --library ORDNER    die Musikbibliothek (Vorgabe: $RIPWELL_LIBRARY, sonst Ihr
                      Musikordner)
  --documents ORDNER  wohin die Dateien kommen (Vorgabe: $RIPWELL_DOCUMENTS, sonst
                      Ihr Dokumentenordner plus Ripwell)
  --list              zeigt die Auswahl (Interpret, Album, Titel, Format oder der
                      Grund, warum der Titel ausgelassen wird, und den Pfad der
                      Datei in der Bibliothek) und beendet sich
  --playlist NAME     wählt die Titel der Playlist NAME der Bibliothek (ihr Name
                      oder der Pfad ihrer Datei in der Bibliothek) in ihrer
                      Reihenfolge und schreibt DOKUMENTE/Playlists/NAME.m3u8 mit
                      ihren Dateien; darf mehrmals angegeben werden
  --list --playlists  zeigt die Playlists der Bibliothek (Name, Titel, die
                      konvertiert werden, ausgelassene Einträge, der Pfad der Datei
                      in der Bibliothek) und beendet sich
  --yes               fragt nicht nach, bevor 26 oder mehr Titel konvertiert werden
                      (für so viele nötig, wenn die Standardeingabe kein Terminal ist)
  --all               konvertiert jeden gewählten Titel neu, auch die, deren Datei
                      aktuell ist
  --rescan            liest jeden Titel der Bibliothek neu, statt ihrem Index zu
                      trauen (der dabei neu angelegt wird)
  --prune             entfernt auch die Dateien von Titeln, die nicht mehr in der
                      Bibliothek sind (nur Dateien, die Ripwell gemacht hat und die
                      seither niemand verändert hat, und die Ordner, die es gemacht
                      hat und die dadurch leer werden; nur unter den Titeln des FILTERs)
  --dry-run, -n       zeigt, was ein Lauf mit jedem Titel täte, und die Zahlen,
                      und schreibt überhaupt nichts
  --no-wait           beendet sich (Status 2), wenn ein anderer Lauf in den
                      Dokumentenordner schreibt, statt auf dessen Ende zu warten
  --verbose           zeigt auch die Debug-Protokollzeilen des Imports
  --help              zeigt diesen Text
</translation>
    </message>
    <message>
        <source>Copy-protected songs are left out and counted. Songs that fail are listed, one title a
line, in error.log in the documents folder.
</source>
        <translation>Kopiergeschützte Titel werden ausgelassen und gezählt. Titel, deren Konvertierung
fehlschlägt, stehen einzeln pro Zeile in error.log im Dokumentenordner.
</translation>
    </message>
    <message>
        <source>Exit status: 0 when nothing failed, 1 when a song failed, 2 for bad usage, a library
that cannot be read or a documents folder in use (with --no-wait), 130 when
interrupted (Ctrl-C or SIGTERM: the song under way is dropped, finished ones stay).
</source>
        <translation>Rückgabewert: 0, wenn nichts fehlgeschlagen ist, 1, wenn ein Titel fehlgeschlagen ist,
2 bei falschem Aufruf, einer nicht lesbaren Bibliothek oder einem belegten
Dokumentenordner (mit --no-wait), 130 nach einer Unterbrechung (Strg-C oder SIGTERM:
der laufende Titel wird verworfen, fertige Titel bleiben erhalten).
</translation>
    </message>
    <message>
        <source>%1 needs a folder</source>
        <translation>%1 braucht einen Ordner</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>unbekannte Option %1</translation>
    </message>
    <message>
        <source>--library and --documents need a folder</source>
        <translation>--library und --documents brauchen einen Ordner</translation>
    </message>
    <message>
        <source>protected</source>
        <translation>geschützt</translation>
    </message>
    <message>
        <source>unreadable</source>
        <translation>nicht lesbar</translation>
    </message>
    <message>
        <source>unsupported format</source>
        <translation>nicht unterstütztes Format</translation>
    </message>
    <message>
        <source>y</source>
        <translation>j</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>You have selected %1 songs. This may take some time and needs enough disk space.
Convert them? [y/N] </source>
        <translation>Sie haben %1 Titel ausgewählt. Das kann einige Zeit dauern und braucht ausreichend Speicherplatz.
Konvertieren? [j/N] </translation>
    </message>
    <message>
        <source>cannot read the music library %1</source>
        <translation>die Musikbibliothek %1 kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>cannot write to the documents folder %1</source>
        <translation>in den Dokumentenordner %1 kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>the music library %1 lies inside the documents folder %2; converted files are written among the songs, and a song that would be overwritten fails instead</source>
        <translation>die Musikbibliothek %1 liegt im Dokumentenordner %2; konvertierte Dateien werden zwischen die Titel geschrieben, und ein Titel, der überschrieben würde, schlägt stattdessen fehl</translation>
    </message>
    <message>
        <source>left out (%1): %2</source>
        <translation>ausgelassen (%1): %2</translation>
    </message>
    <message>
        <source>%1 of %2 songs would be left out: %3</source>
        <translation>%1 von %2 Titeln würden ausgelassen: %3</translation>
    </message>
    <message>
        <source>%1 songs selected; converting 26 or more needs --yes when standard input is not a terminal</source>
        <translation>%1 Titel ausgewählt; 26 oder mehr zu konvertieren braucht --yes, wenn die Standardeingabe kein Terminal ist</translation>
    </message>
    <message>
        <source>Nothing converted.</source>
        <translation>Nichts konvertiert.</translation>
    </message>
    <message>
        <source>Interrupted; nothing converted.</source>
        <translation>Unterbrochen; nichts konvertiert.</translation>
    </message>
    <message>
        <source>cannot lock the documents folder %1: %2</source>
        <translation>der Dokumentenordner %1 kann nicht gesperrt werden: %2</translation>
    </message>
    <message>
        <source>the documents folder %1 is in use by %2</source>
        <translation>der Dokumentenordner %1 wird von %2 benutzt</translation>
    </message>
    <message>
        <source>the documents folder %1 is in use by %2; waiting for it to finish</source>
        <translation>der Dokumentenordner %1 wird von %2 benutzt; warte, bis er fertig ist</translation>
    </message>
    <message>
        <source>Files are in %1</source>
        <translation>Die Dateien liegen in %1</translation>
    </message>
    <message>
        <source>Converted: %1, skipped: %2 (protected %3, unreadable %4, unsupported format %5), failed: %6</source>
        <translation>Konvertiert: %1, ausgelassen: %2 (geschützt %3, nicht lesbar %4, nicht unterstütztes Format %5), fehlgeschlagen: %6</translation>
    </message>
    <message>
        <source>The failed songs are listed in %1</source>
        <translation>Die fehlgeschlagenen Titel stehen in %1</translation>
    </message>
    <message>
        <source>%1 The failed songs are not listed.</source>
        <translation>%1 Die fehlgeschlagenen Titel werden nicht aufgeführt.</translation>
    </message>
    <message>
        <source>Interrupted: the song under way was not converted, and no further song was started.</source>
        <translation>Unterbrochen: Der laufende Titel wurde nicht konvertiert, und kein weiterer Titel wurde begonnen.</translation>
    </message>
    <message>
        <source>A song whose file is still there and unchanged since an earlier run, as is the song
itself, is up to date and not converted again; each song keeps its own file from run
to run, also when it or the whole library has moved, and a file that Ripwell did not
make is never replaced.
</source>
        <translation>Ein Titel, dessen Datei aus einem früheren Lauf noch da und unverändert ist, wie auch
der Titel selbst, ist aktuell und wird nicht neu konvertiert; jeder Titel behält von
Lauf zu Lauf seine eigene Datei, auch wenn er oder die ganze Bibliothek umgezogen ist,
und eine Datei, die Ripwell nicht gemacht hat, wird nie ersetzt.
</translation>
    </message>
    <message>
        <source> or </source>
        <translation> oder </translation>
    </message>
    <message>
        <source>--library and --documents name the folders</source>
        <translation>--library und --documents nennen die Ordner</translation>
    </message>
    <message>
        <source>Converted: %1, up to date: %2, skipped: %3 (%4), failed: %5</source>
        <translation>Konvertiert: %1, aktuell: %2, ausgelassen: %3 (%4), fehlgeschlagen: %5</translation>
    </message>
    <message>
        <source>HOME is not set to an absolute folder, so there is no telling where %1 is</source>
        <translation>HOME nennt keinen absoluten Ordner, daher ist unklar, wo %1 liegt</translation>
    </message>
    <message>
        <source>No folders for Ripwell</source>
        <translation>Keine Ordner für Ripwell</translation>
    </message>
    <message>
        <source>Your music library is Ripwell&apos;s documents folder itself, so it lists no songs. Choose another documents folder (RIPWELL_DOCUMENTS) or another music library (RIPWELL_LIBRARY).</source>
        <translation>Ihre Musikbibliothek ist Ripwells Dokumentenordner selbst, daher zeigt sie keine Titel. Wählen Sie einen anderen Dokumentenordner (RIPWELL_DOCUMENTS) oder eine andere Musikbibliothek (RIPWELL_LIBRARY).</translation>
    </message>
    <message>
        <source>link loop</source>
        <translation>Link-Schleife</translation>
    </message>
    <message>
        <source>link to nothing</source>
        <translation>Link ins Leere</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>the documents folder (set RIPWELL_DOCUMENTS)</source>
        <translation>der Dokumentenordner (RIPWELL_DOCUMENTS setzen)</translation>
    </message>
    <message>
        <source>the music library %1 is the documents folder itself; converted files would be written among the songs: choose another documents folder with --documents</source>
        <translation>die Musikbibliothek %1 ist der Dokumentenordner selbst; konvertierte Dateien würden zwischen die Titel geschrieben: wählen Sie mit --documents einen anderen Dokumentenordner</translation>
    </message>
    <message>
        <source>the music library (set RIPWELL_LIBRARY)</source>
        <translation>die Musikbibliothek (RIPWELL_LIBRARY setzen)</translation>
    </message>
    <message>
        <source>up to date: %1</source>
        <translation>aktuell: %1</translation>
    </message>
    <message>
        <source>converted by Ripwell</source>
        <translation>von Ripwell konvertiert</translation>
    </message>
    <message>
        <source>%1 songs are not converted</source>
        <translation>%1-Titel werden nicht konvertiert</translation>
    </message>
    <message>
        <source>A format that is not converted</source>
        <translation>Ein Format, das nicht konvertiert wird</translation>
    </message>
    <message>
        <source>A link that leads to itself</source>
        <translation>Ein Link, der auf sich selbst zeigt</translation>
    </message>
    <message>
        <source>A link to a missing file</source>
        <translation>Ein Link auf eine fehlende Datei</translation>
    </message>
    <message>
        <source>Cannot be read</source>
        <translation>Nicht lesbar</translation>
    </message>
    <message>
        <source>Copy-protected</source>
        <translation>Kopiergeschützt</translation>
    </message>
    <message>
        <source>Not a song file</source>
        <translation>Keine Musikdatei</translation>
    </message>
    <message>
        <source>The song could not be converted.</source>
        <translation>Der Song konnte nicht konvertiert werden.</translation>
    </message>
    <message>
        <source>%1 of %2 songs could not be converted.</source>
        <translation>%1 von %2 Songs konnten nicht konvertiert werden.</translation>
    </message>
    <message>
        <source>For details see error.log in %1.</source>
        <translation>Details stehen in error.log in %1.</translation>
    </message>
    <message>
        <source>the disk is full</source>
        <translation>der Datenträger ist voll</translation>
    </message>
    <message>
        <source>permission to read the song or to write its file was denied</source>
        <translation>das Lesen des Songs oder das Schreiben seiner Datei wurde nicht erlaubt</translation>
    </message>
    <message>
        <source>the song&apos;s file is no longer there</source>
        <translation>die Datei des Songs ist nicht mehr da</translation>
    </message>
    <message>
        <source>the song&apos;s file ends before its audio does</source>
        <translation>die Datei des Songs endet, bevor die Musik zu Ende ist</translation>
    </message>
    <message>
        <source>the song&apos;s file is damaged, or holds audio that cannot be copied as it is</source>
        <translation>die Datei des Songs ist beschädigt oder enthält Ton, der sich nicht unverändert kopieren lässt</translation>
    </message>
    <message>
        <source>the song is no longer in the music library</source>
        <translation>der Song ist nicht mehr in der Musikbibliothek</translation>
    </message>
    <message>
        <source>the song is copy-protected</source>
        <translation>der Song ist kopiergeschützt</translation>
    </message>
    <message>
        <source>the conversion did not finish</source>
        <translation>die Konvertierung wurde nicht abgeschlossen</translation>
    </message>
    <message>
        <source>Could not create folder %1: it is a symbolic link, and nothing is written through one</source>
        <translation>Ordner %1 konnte nicht angelegt werden: Er ist ein symbolischer Link, und durch einen solchen wird nichts geschrieben</translation>
    </message>
    <message>
        <source>Could not create folder %1: %2</source>
        <translation>Ordner %1 konnte nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>%1 cannot be written: %2. It keeps which song each file was made from; without it every run would copy every song again under new names. Move it out of the way or make it writable, then convert again.</source>
        <translation>%1 kann nicht geschrieben werden: %2. Darin steht, aus welchem Lied jede Datei entstanden ist; ohne sie würde jeder Lauf jedes Lied erneut unter neuen Namen kopieren. Verschieben Sie sie oder machen Sie sie beschreibbar, und konvertieren Sie dann erneut.</translation>
    </message>
    <message>
        <source>%1 could not be written, so the song was not converted</source>
        <translation>%1 konnte nicht geschrieben werden, deshalb wurde das Lied nicht konvertiert</translation>
    </message>
    <message>
        <source>a folder has its name</source>
        <translation>ein Ordner trägt ihren Namen</translation>
    </message>
    <message>
        <source>%1 could not be removed: %2</source>
        <translation>%1 konnte nicht entfernt werden: %2</translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation>%1 konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>--prune removes nothing when the music library %1 holds no songs: is its disk mounted?</source>
        <translation>--prune entfernt nichts, solange die Musikbibliothek %1 keine Titel enthält: Ist ihr Laufwerk eingehängt?</translation>
    </message>
    <message>
        <source>Nothing was written.</source>
        <translation>Es wurde nichts geschrieben.</translation>
    </message>
    <message>
        <source>Removed: %1 (their songs are no longer in the library)</source>
        <translation>Entfernt: %1 (ihre Titel sind nicht mehr in der Bibliothek)</translation>
    </message>
    <message>
        <source>Would convert: %1, convert again: %2, up to date: %3, remove: %4, leave out: %5 (%6)</source>
        <translation>Würde konvertieren: %1, neu konvertieren: %2, aktuell: %3, entfernen: %4, auslassen: %5 (%6)</translation>
    </message>
    <message>
        <source>it is not as Ripwell made it</source>
        <translation>sie ist nicht mehr so, wie Ripwell sie gemacht hat</translation>
    </message>
    <message>
        <source>removed: %1</source>
        <translation>entfernt: %1</translation>
    </message>
    <message>
        <source>the song&apos;s file is no longer %1 but %2</source>
        <translation>die Datei des Songs ist kein %1 mehr, sondern %2</translation>
    </message>
    <message>
        <source>the song&apos;s file is no longer %1, nor any audio Ripwell knows</source>
        <translation>die Datei des Songs ist kein %1 mehr und auch kein anderer Ton, den Ripwell kennt</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Nachricht</translation>
    </message>
    <message>
        <source>       ripwell-cli [OPTION…] --playlist NAME [--playlist NAME…] [FILTER…]
       ripwell-cli [--library DIR] --list --playlists
</source>
        <translation>        ripwell-cli [OPTION…] --playlist NAME [--playlist NAME…] [FILTER…]
        ripwell-cli [--library ORDNER] --list --playlists
</translation>
    </message>
    <message>
        <source>%1 could not be written</source>
        <translation>%1 konnte nicht geschrieben werden</translation>
    </message>
    <message>
        <source>%1 left out</source>
        <translation>%1 ausgelassen</translation>
    </message>
    <message>
        <source>%1 needs a name</source>
        <translation>%1 braucht einen Namen</translation>
    </message>
    <message>
        <source>%1 playlist entries are no songs of the music library: %2</source>
        <translation>%1 Playlist-Einträge sind keine Titel der Musikbibliothek: %2</translation>
    </message>
    <message>
        <source>%1 songs</source>
        <translation>%1 Titel</translation>
    </message>
    <message>
        <source>1 song</source>
        <translation>1 Titel</translation>
    </message>
    <message>
        <source>--playlists goes with --list</source>
        <translation>--playlists gehört zu --list</translation>
    </message>
    <message>
        <source>Playlists</source>
        <translation>Playlists</translation>
    </message>
    <message>
        <source>No playlist matches the search.</source>
        <translation>Keine Playlist passt zur Suche.</translation>
    </message>
    <message>
        <source>No playlists in the music library.</source>
        <translation>Keine Playlists in der Musikbibliothek.</translation>
    </message>
    <message>
        <source>Playlists are the .m3u, .m3u8, .pls and .xspf files in it.</source>
        <translation>Playlists sind die .m3u-, .m3u8-, .pls- und .xspf-Dateien darin.</translation>
    </message>
    <message>
        <source>Playlists are the library&apos;s .m3u, .m3u8, .pls and .xspf files. A written playlist lists
its songs&apos; files by paths relative to itself, so it plays wherever the documents folder
is copied; entries that are no song of the library (missing, outside it, streams) and
songs that are left out or fail are not listed, and counted.
</source>
        <translation>Playlists sind die .m3u-, .m3u8-, .pls- und .xspf-Dateien der Bibliothek. Eine
geschriebene Playlist nennt die Dateien ihrer Titel mit Pfaden relativ zu sich selbst und
spielt daher überall, wohin der Dokumentenordner kopiert wird; Einträge, die kein Titel der
Bibliothek sind (fehlend, außerhalb, Streams), und ausgelassene oder fehlgeschlagene Titel
stehen nicht darin und werden gezählt.
</translation>
    </message>
    <message>
        <source>Playlists written: %1 (in %2), entries left out: %3, failed: %4</source>
        <translation>Playlists geschrieben: %1 (in %2), Einträge ausgelassen: %3, fehlgeschlagen: %4</translation>
    </message>
    <message>
        <source>Playlists written: %1, entries left out: %2, failed: %3</source>
        <translation>Playlists geschrieben: %1, Einträge ausgelassen: %2, fehlgeschlagen: %3</translation>
    </message>
    <message>
        <source>The playlist %1 could not be written: %2</source>
        <translation>Die Playlist %1 konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>Would write playlists: %1</source>
        <translation>Würde Playlists schreiben: %1</translation>
    </message>
    <message>
        <source>a file appeared at its name while it was written, and is kept</source>
        <translation>unter ihrem Namen ist beim Schreiben eine Datei aufgetaucht; sie bleibt erhalten</translation>
    </message>
    <message>
        <source>left out of %1 (%2): %3</source>
        <translation>ausgelassen aus %1 (%2): %3</translation>
    </message>
    <message>
        <source>missing</source>
        <translation>fehlt</translation>
    </message>
    <message>
        <source>no playlists in the music library %1</source>
        <translation>keine Playlists in der Musikbibliothek %1</translation>
    </message>
    <message>
        <source>not a song</source>
        <translation>kein Titel</translation>
    </message>
    <message>
        <source>outside the library</source>
        <translation>außerhalb der Bibliothek</translation>
    </message>
    <message>
        <source>stream</source>
        <translation>Stream</translation>
    </message>
    <message>
        <source>the music library has no playlist %1 (ripwell-cli --list --playlists lists them)</source>
        <translation>die Musikbibliothek hat keine Playlist %1 (ripwell-cli --list --playlists zeigt sie)</translation>
    </message>
    <message>
        <source>the playlist %1 could not be written: %2</source>
        <translation>die Playlist %1 konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>the playlists asked for hold no song of the music library</source>
        <translation>die angegebenen Playlists enthalten keinen Titel der Musikbibliothek</translation>
    </message>
    <message>
        <source>%1 holds no iPod database (iPod_Control/iTunes/iTunesDB).</source>
        <translation>%1 enthält keine iPod-Datenbank (iPod_Control/iTunes/iTunesDB).</translation>
    </message>
    <message>
        <source>The iPod&apos;s database %1 is damaged and cannot be read.</source>
        <translation>Die Datenbank des iPods, %1, ist beschädigt und kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The iPod&apos;s database %1 is damaged and cannot be read (%2).</source>
        <translation>Die Datenbank des iPods, %1, ist beschädigt und kann nicht gelesen werden (%2).</translation>
    </message>
    <message>
        <source>The iPod&apos;s database %1 cannot be opened.</source>
        <translation>Die Datenbank des iPods, %1, kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>The iPod&apos;s database %1 could not be read in the time allowed; it may be damaged.</source>
        <translation>Die Datenbank des iPods, %1, konnte in der vorgesehenen Zeit nicht gelesen werden; sie ist vielleicht beschädigt.</translation>
    </message>
    <message>
        <source>iPods cannot be read: the program %1 cannot be started (%2).</source>
        <translation>iPods können nicht gelesen werden: Das Programm %1 kann nicht gestartet werden (%2).</translation>
    </message>
    <message>
        <source>A video</source>
        <translation>Ein Video</translation>
    </message>
    <message>
        <source>Its file is missing from the disk</source>
        <translation>Seine Datei fehlt auf dem Laufwerk</translation>
    </message>
    <message>
        <source>Not a song</source>
        <translation>Kein Musiktitel</translation>
    </message>
    <message>
        <source>file missing</source>
        <translation>Datei fehlt</translation>
    </message>
    <message>
        <source>not audio</source>
        <translation>kein Audio</translation>
    </message>
    <message>
        <source>video</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>the documents folder %1 lies on the iPod %2, and nothing is ever written to an iPod: choose another documents folder with --documents</source>
        <translation>der Dokumentenordner %1 liegt auf dem iPod %2, und auf einen iPod wird nie etwas geschrieben: Wählen Sie mit --documents einen anderen Dokumentenordner</translation>
    </message>
    <message>
        <source>the iPod or disk that holds the music library is no longer there</source>
        <translation>der iPod oder das Laufwerk mit der Musikbibliothek ist nicht mehr da</translation>
    </message>
    <message>
        <source>An iPod mounted as a disk is a library of its own: --library names its folder, the one
that holds iPod_Control. Its songs are named and tagged as its database says, whatever
their files say; its videos, books, copy-protected songs and songs whose file is missing
are left out and counted. Nothing is ever written to the iPod.
</source>
        <translation>Ein als Laufwerk eingebundener iPod ist eine Musikbibliothek für sich: --library nennt
seinen Ordner, den mit iPod_Control. Seine Titel werden benannt und getaggt, wie seine
Datenbank es sagt, gleich was ihre Dateien sagen; Videos, Bücher, kopiergeschützte Titel
und Titel, deren Datei fehlt, werden ausgelassen und gezählt. Auf den iPod wird nie
etwas geschrieben.
</translation>
    </message>
    <message>
        <source>Converting</source>
        <translation>Konvertierung läuft</translation>
    </message>
    <message>
        <source>New mail</source>
        <translation>Neue E-Mail</translation>
    </message>
    <message>
        <source>Tick all</source>
        <translation>Alle auswählen</translation>
    </message>
    <message>
        <source>Untick all</source>
        <translation>Auswahl aufheben</translation>
    </message>
    <message>
        <source>Ticks every song the list shows (Ctrl+A)</source>
        <translation>Wählt jeden Titel, den die Liste zeigt (Strg+A)</translation>
    </message>
    <message>
        <source>Unticks every song (Ctrl+Shift+A)</source>
        <translation>Hebt die Auswahl aller Titel auf (Strg+Umschalt+A)</translation>
    </message>
    <message>
        <source>%1 ticked</source>
        <translation>%1 ausgewählt</translation>
    </message>
    <message>
        <source>Documents folder</source>
        <translation>Dokumentenordner</translation>
    </message>
    <message>
        <source>%1 (%2 free)</source>
        <translation>%1 (%2 frei)</translation>
    </message>
    <message>
        <source>Converted songs go into the documents folder. To convert straight onto a stick, a memory card or a player, connect it first.</source>
        <translation>Konvertierte Titel kommen in den Dokumentenordner. Um direkt auf einen Stick, eine Speicherkarte oder einen Player zu konvertieren, schließen Sie ihn zuerst an.</translation>
    </message>
    <message>
        <source>Where should the converted songs go?</source>
        <translation>Wohin sollen die konvertierten Titel?</translation>
    </message>
    <message>
        <source>Save to: %1</source>
        <translation>Speichern in: %1</translation>
    </message>
    <message>
        <source>The converted media files are on %1 (%2). Eject it in your file manager before you unplug it, so that every file is written completely.</source>
        <translation>Die konvertierten Mediendateien sind auf %1 (%2). Werfen Sie das Gerät im Dateimanager aus, bevor Sie es abziehen, damit jede Datei vollständig geschrieben ist.</translation>
    </message>
    <message>
        <source>%1 is no longer connected: it was unplugged or unmounted (%2)</source>
        <translation>%1 ist nicht mehr verbunden: Das Gerät wurde abgezogen oder ausgehängt (%2)</translation>
    </message>
    <message>
        <source>Music folder</source>
        <translation>Musikordner</translation>
    </message>
    <message>
        <source>The iPod cannot be read</source>
        <translation>Der iPod kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>Which songs?</source>
        <translation>Welche Titel?</translation>
    </message>
    <message>
        <source>iPod: %1</source>
        <translation>iPod: %1</translation>
    </message>
</context>
</TS>
