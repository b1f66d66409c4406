<?xml version='1.0' encoding='utf-8'?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AboutDialog</name>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Thank you for using Clipvane</source>
        <translation>Danke, dass Sie Clipvane verwenden</translation>
    </message>
    <message>
        <source>Clipvane 2.50 turns your videos into Flash Video and Flash SWF files.</source>
        <translation>Clipvane 2.50 wandelt Ihre Videos in Flash-Video- und Flash-SWF-Dateien um.</translation>
    </message>
    <message>
        <source>Clipvane is provided as is, without warranty of any kind.</source>
        <translation>Clipvane wird so bereitgestellt, wie es ist, ohne jede Gewährleistung.</translation>
    </message>
    <message>
        <source>This product includes software developed by the MPlayer Project.

This product includes software developed by the FFMpeg Project.</source>
        <translation>Dieses Produkt enthält Software, die vom MPlayer-Projekt entwickelt wurde.

Dieses Produkt enthält Software, die vom FFMpeg-Projekt entwickelt wurde.</translation>
    </message>
    <message>
        <source>MPlayer is licensed under the GNU General Public License Version 2.
FFmpeg is licensed under the GNU General Public License.</source>
        <translation>MPlayer steht unter der GNU General Public License Version 2.
FFmpeg steht unter der GNU General Public License.</translation>
    </message>
</context>
<context>
    <name>CaptureDialog</name>
    <message>
        <source>Capture Video From DV</source>
        <translation>Video von DV aufnehmen</translation>
    </message>
    <message>
        <source>Camera</source>
        <translation>Kamera</translation>
    </message>
    <message>
        <source>Sound:</source>
        <translation>Ton:</translation>
    </message>
    <message>
        <source>Sound</source>
        <translation>Ton</translation>
    </message>
    <message>
        <source>Size:</source>
        <translation>Größe:</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Rate:</source>
        <translation>Bildrate:</translation>
    </message>
    <message>
        <source>Rate</source>
        <translation>Bildrate</translation>
    </message>
    <message>
        <source>Camera Control</source>
        <translation>Kamerasteuerung</translation>
    </message>
    <message>
        <source>Pan:</source>
        <translation>Schwenken:</translation>
    </message>
    <message>
        <source>Pan</source>
        <translation>Schwenken</translation>
    </message>
    <message>
        <source>Tilt:</source>
        <translation>Neigen:</translation>
    </message>
    <message>
        <source>Tilt</source>
        <translation>Neigen</translation>
    </message>
    <message>
        <source>Roll:</source>
        <translation>Drehen:</translation>
    </message>
    <message>
        <source>Roll</source>
        <translation>Drehen</translation>
    </message>
    <message>
        <source>Zoom:</source>
        <translation>Zoom:</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Capture Time:</source>
        <translation>Aufnahmezeit:</translation>
    </message>
    <message>
        <source>00:00:00</source>
        <translation>00:00:00</translation>
    </message>
    <message>
        <source>Capture File</source>
        <translation>Aufnahmedatei</translation>
    </message>
    <message>
        <source>Capture File:</source>
        <translation>Aufnahmedatei:</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Durchsuchen...</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Start capture</source>
        <translation>Aufnahme starten</translation>
    </message>
    <message>
        <source>Stop capture</source>
        <translation>Aufnahme beenden</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>CaptureText</name>
    <message>
        <source>%1 fps</source>
        <translation>%1 B/s</translation>
    </message>
    <message>
        <source>No camera or capture card was found. Connect one and open this window again.</source>
        <translation>Es wurde keine Kamera und keine Aufnahmekarte gefunden. Schließen Sie eine an und öffnen Sie dieses Fenster erneut.</translation>
    </message>
    <message>
        <source>%1 frames (%2 dropped) - %3 sec.</source>
        <translation>%1 Bilder (%2 verworfen) - %3 Sek.</translation>
    </message>
</context>
<context>
    <name>ClipDialog</name>
    <message>
        <source>Clip Time</source>
        <translation>Clip-Zeit</translation>
    </message>
    <message>
        <source>Start Time and End Time</source>
        <translation>Startzeit und Endzeit</translation>
    </message>
    <message>
        <source>Start Time:</source>
        <translation>Startzeit:</translation>
    </message>
    <message>
        <source>Type a time as H:MM:SS or H:MM:SS.cc and press Enter</source>
        <translation>Geben Sie eine Zeit als H:MM:SS oder H:MM:SS.cc ein und drücken Sie die Eingabetaste</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>End Time:</source>
        <translation>Endzeit:</translation>
    </message>
    <message>
        <source>End</source>
        <translation>Ende</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>ClipSession</name>
    <message>
        <source>Clip Time  -  </source>
        <translation>Clip-Zeit  -  </translation>
    </message>
    <message>
        <source>Start time or End time is error.</source>
        <translation>Startzeit oder Endzeit ist fehlerhaft.</translation>
    </message>
</context>
<context>
    <name>EncoderCommand</name>
    <message>
        <source>No output profile is selected.</source>
        <translation>Es ist kein Ausgabeprofil gewählt.</translation>
    </message>
    <message>
        <source>Video Size is not a size of two even numbers such as 1280x720: </source>
        <translation>Die Videogröße ist keine Größe aus zwei geraden Zahlen wie 1280x720: </translation>
    </message>
    <message>
        <source>The option sheet is incomplete.</source>
        <translation>Die Optionsliste ist unvollständig.</translation>
    </message>
    <message>
        <source>Video Bitrate is not a number: </source>
        <translation>Die Video-Bitrate ist keine Zahl: </translation>
    </message>
    <message>
        <source>Video Framerate is not a number: </source>
        <translation>Die Video-Bildrate ist keine Zahl: </translation>
    </message>
    <message>
        <source>Audio Bitrate is not a number: </source>
        <translation>Die Audio-Bitrate ist keine Zahl: </translation>
    </message>
    <message>
        <source>Sample Rate is not a number: </source>
        <translation>Die Abtastrate ist keine Zahl: </translation>
    </message>
    <message>
        <source>Audio Channel is not a number: </source>
        <translation>Der Audiokanal ist keine Zahl: </translation>
    </message>
    <message>
        <source>Clipvane could not read the length of this file: it may not be a video.</source>
        <translation>Clipvane konnte die Länge dieser Datei nicht lesen: Sie ist vielleicht kein Video.</translation>
    </message>
    <message>
        <source>The clip is empty: its end </source>
        <translation>Der Clip ist leer: Sein Ende </translation>
    </message>
    <message>
        <source> is not after its start </source>
        <translation> liegt nicht nach seinem Start </translation>
    </message>
    <message>
        <source>No output folder is set.</source>
        <translation>Es ist kein Ausgabeordner eingestellt.</translation>
    </message>
    <message>
        <source>%1 is not available on this computer: converted in software.</source>
        <translation>%1 ist auf diesem Computer nicht verfügbar: in Software umgewandelt.</translation>
    </message>
    <message>
        <source>%1 is encoded in one pass: Two-Pass is not offered for it.</source>
        <translation>%1 wird in einem Durchgang kodiert: Zwei Durchgänge gibt es dafür nicht.</translation>
    </message>
    <message>
        <source>Target Size (MB) is not a number of megabytes: </source>
        <translation>Zielgröße (MB) ist keine Zahl von Megabytes: </translation>
    </message>
</context>
<context>
    <name>FileSelect</name>
    <message>
        <source>All supported media files</source>
        <translation>Alle unterstützten Mediendateien</translation>
    </message>
    <message>
        <source>Windows Media files (*.avi;*.wmv;*.wma;*.asf)</source>
        <translation>Windows-Media-Dateien (*.avi;*.wmv;*.wma;*.asf)</translation>
    </message>
    <message>
        <source>Mov/MP4 Files (*.mov;*.mp4;*.3gp;*.3g2)</source>
        <translation>Mov/MP4-Dateien (*.mov;*.mp4;*.3gp;*.3g2)</translation>
    </message>
    <message>
        <source>Real Media Files (*.rm;*.rmvb)</source>
        <translation>Real-Media-Dateien (*.rm;*.rmvb)</translation>
    </message>
    <message>
        <source>Flash Video files (*.flv)</source>
        <translation>Flash-Video-Dateien (*.flv)</translation>
    </message>
    <message>
        <source>Matroska Video files (*.mkv)</source>
        <translation>Matroska-Video-Dateien (*.mkv)</translation>
    </message>
    <message>
        <source>Sony High Definition Video File (*.m2ts)</source>
        <translation>Sony-HD-Videodatei (*.m2ts)</translation>
    </message>
    <message>
        <source>MPEG-1 Video File (*.m1v;*.mpe;*.mpg;*.mpeg)</source>
        <translation>MPEG-1-Videodatei (*.m1v;*.mpe;*.mpg;*.mpeg)</translation>
    </message>
    <message>
        <source>MPEG-2 Video File (*.m2v;*.mpe;*.mpg;*.mpeg)</source>
        <translation>MPEG-2-Videodatei (*.m2v;*.mpe;*.mpg;*.mpeg)</translation>
    </message>
    <message>
        <source>Divx Video File (*.divx)</source>
        <translation>DivX-Videodatei (*.divx)</translation>
    </message>
    <message>
        <source>Ogg Media File (*.ogm)</source>
        <translation>Ogg-Mediendatei (*.ogm)</translation>
    </message>
    <message>
        <source>DVD-VR Video File(*.vro)</source>
        <translation>DVD-VR-Videodatei(*.vro)</translation>
    </message>
    <message>
        <source>Other Video File(*.dr;*.amv)</source>
        <translation>Andere Videodatei(*.dr;*.amv)</translation>
    </message>
    <message>
        <source>All files (*.*)</source>
        <translation>Alle Dateien (*.*)</translation>
    </message>
    <message>
        <source>Open Video File</source>
        <translation>Videodatei öffnen</translation>
    </message>
    <message>
        <source>Sound files (*.mp3;*.flac;*.wav;*.m4a;*.aac;*.ogg;*.opus;*.wma)</source>
        <translation>Tondateien (*.mp3;*.flac;*.wav;*.m4a;*.aac;*.ogg;*.opus;*.wma)</translation>
    </message>
    <message>
        <source>Only Video files are allowed!</source>
        <translation>Nur Videodateien sind erlaubt!</translation>
    </message>
    <message>
        <source>Not added:</source>
        <translation>Nicht hinzugefügt:</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>und %1 weitere</translation>
    </message>
</context>
<context>
    <name>FireWire</name>
    <message>
        <source>DV camcorder (FireWire)</source>
        <translation>DV-Camcorder (FireWire)</translation>
    </message>
</context>
<context>
    <name>ItemFinisher</name>
    <message>
        <source>The encoder stopped with an error.</source>
        <translation>Der Encoder hat mit einem Fehler aufgehört.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Clipvane 2.50</source>
        <translation>Clipvane 2.50</translation>
    </message>
    <message>
        <source>Add Files</source>
        <translation>Dateien hinzufügen</translation>
    </message>
    <message>
        <source>Remove File</source>
        <translation>Datei entfernen</translation>
    </message>
    <message>
        <source>Clear All</source>
        <translation>Alle entfernen</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>CONVERT NOW</source>
        <translation>JETZT UMWANDELN</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>EXIT</source>
        <translation>BEENDEN</translation>
    </message>
    <message>
        <source>Profile:</source>
        <translation>Profil:</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>Profil</translation>
    </message>
    <message>
        <source>Video List</source>
        <translation>Videoliste</translation>
    </message>
    <message>
        <source>Privew</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>File(&amp;F)</source>
        <translation>Datei(&amp;D)</translation>
    </message>
    <message>
        <source>Edit(&amp;E)</source>
        <translation>Bearbeiten(&amp;B)</translation>
    </message>
    <message>
        <source>Action(&amp;A)</source>
        <translation>Aktion(&amp;A)</translation>
    </message>
    <message>
        <source>Help(&amp;H)</source>
        <translation>Hilfe(&amp;H)</translation>
    </message>
    <message>
        <source>Ctrl+A</source>
        <translation>Ctrl+A</translation>
    </message>
    <message>
        <source>Remove Selected File</source>
        <translation>Gewählte Datei entfernen</translation>
    </message>
    <message>
        <source>Ctrl+R</source>
        <translation>Ctrl+R</translation>
    </message>
    <message>
        <source>Clear All Files</source>
        <translation>Alle Dateien entfernen</translation>
    </message>
    <message>
        <source>Ctrl+C</source>
        <translation>Ctrl+C</translation>
    </message>
    <message>
        <source>Capture Video From DV</source>
        <translation>Video von DV aufnehmen</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Ctrl+X</source>
        <translation>Ctrl+X</translation>
    </message>
    <message>
        <source>Video Settings</source>
        <translation>Videoeinstellungen</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation>Ctrl+S</translation>
    </message>
    <message>
        <source>Save as Preset...</source>
        <translation>Als Vorgabe speichern...</translation>
    </message>
    <message>
        <source>Manage Presets...</source>
        <translation>Vorgaben verwalten...</translation>
    </message>
    <message>
        <source>Reset to Profile</source>
        <translation>Auf Profil zurücksetzen</translation>
    </message>
    <message>
        <source>Convert Now!</source>
        <translation>Jetzt umwandeln!</translation>
    </message>
    <message>
        <source>Ctrl+N</source>
        <translation>Ctrl+N</translation>
    </message>
    <message>
        <source>Play Selected File</source>
        <translation>Gewählte Datei abspielen</translation>
    </message>
    <message>
        <source>Ctrl+P</source>
        <translation>Ctrl+P</translation>
    </message>
    <message>
        <source>Video Clip</source>
        <translation>Videoclip</translation>
    </message>
    <message>
        <source>Ctrl+V</source>
        <translation>Ctrl+V</translation>
    </message>
    <message>
        <source>F1</source>
        <translation>F1</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Move Up</source>
        <translation>Nach oben</translation>
    </message>
    <message>
        <source>Move the selected file up the list (files are converted from the top)</source>
        <translation>Die gewählte Datei in der Liste nach oben schieben (umgewandelt wird von oben nach unten)</translation>
    </message>
    <message>
        <source>Ctrl+Up</source>
        <translation>Ctrl+Up</translation>
    </message>
    <message>
        <source>Move Down</source>
        <translation>Nach unten</translation>
    </message>
    <message>
        <source>Move the selected file down the list (files are converted from the top)</source>
        <translation>Die gewählte Datei in der Liste nach unten schieben (umgewandelt wird von oben nach unten)</translation>
    </message>
    <message>
        <source>Ctrl+Down</source>
        <translation>Ctrl+Down</translation>
    </message>
    <message>
        <source>Audio Tracks…</source>
        <translation>Tonspuren…</translation>
    </message>
    <message>
        <source>Subtitles…</source>
        <translation>Untertitel…</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Bring back the files the last Remove or Clear All took out of the list</source>
        <translation>Die Dateien zurückholen, die das letzte Entfernen oder Alle entfernen aus der Liste genommen hat</translation>
    </message>
    <message>
        <source>Ctrl+Z</source>
        <translation>Ctrl+Z</translation>
    </message>
    <message>
        <source>Apply Current Profile to Selected Files</source>
        <translation>Aktuelles Profil auf gewählte Dateien anwenden</translation>
    </message>
    <message>
        <source>The selected files keep the profile and options shown now, whatever is picked later</source>
        <translation>Die gewählten Dateien behalten das jetzt gezeigte Profil und seine Optionen, was auch immer später gewählt wird</translation>
    </message>
    <message>
        <source>Use the Picked Profile for Selected Files</source>
        <translation>Gewähltes Profil für gewählte Dateien verwenden</translation>
    </message>
    <message>
        <source>The selected files give up their own profile and follow the one picked under Profile:</source>
        <translation>Die gewählten Dateien geben ihr eigenes Profil auf und folgen dem unter Profil: gewählten</translation>
    </message>
    <message>
        <source>Export Presets...</source>
        <translation>Vorgaben exportieren...</translation>
    </message>
    <message>
        <source>Import Presets...</source>
        <translation>Vorgaben importieren...</translation>
    </message>
    <message>
        <source>Preview Output</source>
        <translation>Ausgabe als Vorschau</translation>
    </message>
</context>
<context>
    <name>MediaProbe</name>
    <message>
        <source>Clipvane cannot find this file: it may have been moved, renamed or deleted.</source>
        <translation>Clipvane findet diese Datei nicht: Sie wurde vielleicht verschoben, umbenannt oder gelöscht.</translation>
    </message>
    <message>
        <source>This is a folder, not a video file.</source>
        <translation>Dies ist ein Ordner, keine Videodatei.</translation>
    </message>
    <message>
        <source>Clipvane cannot read this file (%1).</source>
        <translation>Clipvane kann diese Datei nicht lesen (%1).</translation>
    </message>
    <message>
        <source>This file is empty (0 bytes).</source>
        <translation>Diese Datei ist leer (0 Bytes).</translation>
    </message>
    <message>
        <source>Clipvane cannot read this file: its name holds line breaks or control characters. Rename it and add it again.</source>
        <translation>Clipvane kann diese Datei nicht lesen: Ihr Name enthält Zeilenumbrüche oder Steuerzeichen. Benennen Sie sie um und fügen Sie sie erneut hinzu.</translation>
    </message>
    <message>
        <source>The player tool %1 could not be started.</source>
        <translation>Das Abspielwerkzeug %1 konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>The player tool %1 is missing; reinstall Clipvane.</source>
        <translation>Das Abspielwerkzeug %1 fehlt; installieren Sie Clipvane neu.</translation>
    </message>
    <message>
        <source>The player tool could not run MPlayer.</source>
        <translation>Das Abspielwerkzeug konnte MPlayer nicht ausführen.</translation>
    </message>
    <message>
        <source>Clipvane gave up reading this file after %1 s: it did not answer in time.</source>
        <translation>Clipvane hat das Lesen dieser Datei nach %1 s aufgegeben: Sie hat nicht rechtzeitig geantwortet.</translation>
    </message>
    <message>
        <source>This file holds sound only, no video picture.</source>
        <translation>Diese Datei enthält nur Ton, kein Videobild.</translation>
    </message>
    <message>
        <source>Clipvane could not read this file: it may not be a video, or it may be damaged.</source>
        <translation>Clipvane konnte diese Datei nicht lesen: Sie ist vielleicht kein Video oder beschädigt.</translation>
    </message>
    <message>
        <source>Clipvane could not read the length of this file: it may not be a video.</source>
        <translation>Clipvane konnte die Länge dieser Datei nicht lesen: Sie ist vielleicht kein Video.</translation>
    </message>
    <message>
        <source>This file is damaged or incomplete: its index is missing (it may have been cut short while it was written or copied).</source>
        <translation>Diese Datei ist beschädigt oder unvollständig: Ihr Index fehlt (sie wurde vielleicht beim Schreiben oder Kopieren abgeschnitten).</translation>
    </message>
    <message>
        <source>sound only</source>
        <translation>nur Ton</translation>
    </message>
    <message>
        <source>This file's name is not valid UTF-8; rename it to convert it.</source>
        <translation>Der Name dieser Datei ist kein gültiges UTF-8; benennen Sie sie um, um sie umzuwandeln.</translation>
    </message>
    <message>
        <source>no black bars</source>
        <translation>keine schwarzen Balken</translation>
    </message>
    <message>
        <source>black bars: picture %1</source>
        <translation>schwarze Balken: Bild %1</translation>
    </message>
    <message>
        <source>interlaced</source>
        <translation>Zeilensprung</translation>
    </message>
    <message>
        <source>progressive</source>
        <translation>Vollbild</translation>
    </message>
</context>
<context>
    <name>OptionSheet</name>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Output Duration</source>
        <translation>Ausgabedauer</translation>
    </message>
    <message>
        <source>Video Options</source>
        <translation>Videooptionen</translation>
    </message>
    <message>
        <source>Audio Options</source>
        <translation>Audiooptionen</translation>
    </message>
    <message>
        <source>Item Name</source>
        <translation>Elementname</translation>
    </message>
    <message>
        <source>All Clip Duration</source>
        <translation>Dauer aller Clips</translation>
    </message>
    <message>
        <source>Start Time</source>
        <translation>Startzeit</translation>
    </message>
    <message>
        <source>Stop Time</source>
        <translation>Endzeit</translation>
    </message>
    <message>
        <source>Video Codec</source>
        <translation>Videocodec</translation>
    </message>
    <message>
        <source>Video Size</source>
        <translation>Videogröße</translation>
    </message>
    <message>
        <source>Video Bitrate</source>
        <translation>Video-Bitrate</translation>
    </message>
    <message>
        <source>Video Framerate</source>
        <translation>Video-Bildrate</translation>
    </message>
    <message>
        <source>Keep Aspect Ratio</source>
        <translation>Seitenverhältnis beibehalten</translation>
    </message>
    <message>
        <source>Encoding Speed</source>
        <translation>Kodiergeschwindigkeit</translation>
    </message>
    <message>
        <source>Audio Codec</source>
        <translation>Audiocodec</translation>
    </message>
    <message>
        <source>Audio Bitrate</source>
        <translation>Audio-Bitrate</translation>
    </message>
    <message>
        <source>Sample Rate</source>
        <translation>Abtastrate</translation>
    </message>
    <message>
        <source>Audio Channel</source>
        <translation>Audiokanäle</translation>
    </message>
    <message>
        <source>Disable Audio</source>
        <translation>Ton deaktivieren</translation>
    </message>
    <message>
        <source>A/V Sync</source>
        <translation>A/V-Synchronisation</translation>
    </message>
    <message>
        <source>Same as source</source>
        <translation>Wie die Quelle</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>Fast</source>
        <translation>Schnell</translation>
    </message>
    <message>
        <source>Balanced</source>
        <translation>Ausgewogen</translation>
    </message>
    <message>
        <source>Small File</source>
        <translation>Kleine Datei</translation>
    </message>
    <message>
        <source>Basic</source>
        <translation>Einfach</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keiner</translation>
    </message>
    <message>
        <source>Tracks</source>
        <translation>Spuren</translation>
    </message>
    <message>
        <source>Burn In Subtitles</source>
        <translation>Untertitel einbrennen</translation>
    </message>
    <message>
        <source>Chosen Track</source>
        <translation>Gewählte Spur</translation>
    </message>
    <message>
        <source>Forced Only</source>
        <translation>Nur erzwungene</translation>
    </message>
    <message>
        <source>Encoder</source>
        <translation>Encoder</translation>
    </message>
    <message>
        <source>Software</source>
        <translation>Software</translation>
    </message>
    <message>
        <source>Picture</source>
        <translation>Bild</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualität</translation>
    </message>
    <message>
        <source>Two-Pass</source>
        <translation>Zwei Durchgänge</translation>
    </message>
    <message>
        <source>Crop</source>
        <translation>Zuschneiden</translation>
    </message>
    <message>
        <source>Deinterlace</source>
        <translation>Deinterlacing</translation>
    </message>
    <message>
        <source>Denoise</source>
        <translation>Entrauschen</translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation>Drehen</translation>
    </message>
    <message>
        <source>Flip</source>
        <translation>Spiegeln</translation>
    </message>
    <message>
        <source>Square Pixels</source>
        <translation>Quadratische Pixel</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>On</source>
        <translation>Ein</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>Leicht</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Mittel</translation>
    </message>
    <message>
        <source>Strong</source>
        <translation>Stark</translation>
    </message>
    <message>
        <source>Horizontal</source>
        <translation>Horizontal</translation>
    </message>
    <message>
        <source>Vertical</source>
        <translation>Vertikal</translation>
    </message>
    <message>
        <source>Target Size (MB)</source>
        <translation>Zielgröße (MB)</translation>
    </message>
    <message>
        <source>Target Size</source>
        <translation>Zielgröße</translation>
    </message>
</context>
<context>
    <name>OutputCheck</name>
    <message>
        <source>The encoder did not finish the output: the file ends early.</source>
        <translation>Der Encoder hat die Ausgabe nicht fertig geschrieben: Die Datei endet zu früh.</translation>
    </message>
    <message>
        <source>The encoder wrote no output file, or an empty one.</source>
        <translation>Der Encoder hat keine oder eine leere Ausgabedatei geschrieben.</translation>
    </message>
    <message>
        <source>The output cannot be read back: it is not a complete video.</source>
        <translation>Die Ausgabe kann nicht zurückgelesen werden: Sie ist kein vollständiges Video.</translation>
    </message>
    <message>
        <source>The encoder wrote an empty file: it holds no video.</source>
        <translation>Der Encoder hat eine leere Datei geschrieben: Sie enthält kein Video.</translation>
    </message>
    <message>
        <source>The encoder wrote an empty file: it holds no sound.</source>
        <translation>Der Encoder hat eine leere Datei geschrieben: Sie enthält keinen Ton.</translation>
    </message>
    <message>
        <source>The output lasts %1 s of a %2 s clip.</source>
        <translation>Die Ausgabe dauert %1 s von einem %2 s langen Clip.</translation>
    </message>
    <message>
        <source>Clipvane could not check the new file: reading it did not end within %1 s.</source>
        <translation>Clipvane konnte die neue Datei nicht prüfen: Das Lesen endete nicht innerhalb von %1 s.</translation>
    </message>
</context>
<context>
    <name>OutputFiles</name>
    <message>
        <source>The new file could not replace the old one: %1.</source>
        <translation>Die neue Datei konnte die alte nicht ersetzen: %1.</translation>
    </message>
    <message>
        <source>Saved as %1 because a file named %2 appeared while this one was being converted.</source>
        <translation>Als %1 gespeichert, weil während der Umwandlung eine Datei namens %2 erschienen ist.</translation>
    </message>
    <message>
        <source>The new file could not be saved as %1: %2.</source>
        <translation>Die neue Datei konnte nicht als %1 gespeichert werden: %2.</translation>
    </message>
    <message>
        <source>The new file could not be saved as %1: every name was taken.</source>
        <translation>Die neue Datei konnte nicht als %1 gespeichert werden: Jeder Name war vergeben.</translation>
    </message>
</context>
<context>
    <name>OutputPreview</name>
    <message>
        <source>No private folder could be made for the sample: %1</source>
        <translation>Für die Probe konnte kein privater Ordner angelegt werden: %1</translation>
    </message>
    <message>
        <source>The sample could not be made: %1</source>
        <translation>Die Probe konnte nicht erstellt werden: %1</translation>
    </message>
    <message>
        <source>The encoder tool could not be started.</source>
        <translation>Das Umwandlungsprogramm konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>%1 MB per minute</source>
        <translation>%1 MB pro Minute</translation>
    </message>
</context>
<context>
    <name>OutputSize</name>
    <message>
        <source>Target Size %1 MB is too small for %2 of video: the picture would get less than %3 kbit/s. The smallest sensible size is %4 MB.</source>
        <translation>Die Zielgröße %1 MB ist zu klein für %2 Video: das Bild bekäme weniger als %3 kbit/s. Die kleinste sinnvolle Größe ist %4 MB.</translation>
    </message>
    <message>
        <source>The converted files need about %1 in %2, but only %3 is free there: %4 short.</source>
        <translation>Die umgewandelten Dateien brauchen in %2 etwa %1, dort sind aber nur %3 frei: es fehlen %4.</translation>
    </message>
</context>
<context>
    <name>PictureFilters</name>
    <message>
        <source>Quality takes a whole number from %1 (best) to %2: </source>
        <translation>Qualität nimmt eine ganze Zahl von %1 (beste) bis %2: </translation>
    </message>
    <message>
        <source>Crop is not None, Automatic or a window such as 1920:800:0:140: </source>
        <translation>Zuschneiden ist weder Keiner, Automatisch noch ein Ausschnitt wie 1920:800:0:140: </translation>
    </message>
    <message>
        <source>Crop %1 corrected to %2 (even sides inside the picture).</source>
        <translation>Zuschnitt %1 zu %2 berichtigt (gerade Seiten innerhalb des Bildes).</translation>
    </message>
</context>
<context>
    <name>PlayerWidget</name>
    <message>
        <source>Preview picture</source>
        <translation>Vorschaubild</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>Current Time:</source>
        <translation>Aktuelle Zeit:</translation>
    </message>
    <message>
        <source>0:00:00</source>
        <translation>0:00:00</translation>
    </message>
    <message>
        <source>Total time: 0:00:00</source>
        <translation>Gesamtzeit: 0:00:00</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Vorwärts</translation>
    </message>
    <message>
        <source>First Frame</source>
        <translation>Erstes Bild</translation>
    </message>
    <message>
        <source>Last Frames</source>
        <translation>Letzte Bilder</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>Thread error!</source>
        <translation>Thread-Fehler!</translation>
    </message>
</context>
<context>
    <name>Preset</name>
    <message>
        <source>Its profile “%1” no longer exists.</source>
        <translation>Ihr Profil „%1“ existiert nicht mehr.</translation>
    </message>
    <message>
        <source>You have no presets to export.</source>
        <translation>Sie haben keine Vorgaben zum Exportieren.</translation>
    </message>
    <message>
        <source>it has no name</source>
        <translation>sie hat keinen Namen</translation>
    </message>
    <message>
        <source>it names no profile</source>
        <translation>sie nennt kein Profil</translation>
    </message>
    <message>
        <source>it is not UTF-8 text</source>
        <translation>sie ist kein UTF-8-Text</translation>
    </message>
    <message>
        <source>its profile “%1” is not one Clipvane offers</source>
        <translation>ihr Profil „%1“ bietet Clipvane nicht an</translation>
    </message>
    <message>
        <source>the file holds too many presets</source>
        <translation>die Datei enthält zu viele Vorgaben</translation>
    </message>
</context>
<context>
    <name>PresetFiles</name>
    <message>
        <source>Clipvane presets (*%1)</source>
        <translation>Clipvane-Vorgaben (*%1)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Export Presets</source>
        <translation>Vorgaben exportieren</translation>
    </message>
    <message>
        <source>My presets</source>
        <translation>Meine Vorgaben</translation>
    </message>
    <message>
        <source>Import Presets</source>
        <translation>Vorgaben importieren</translation>
    </message>
    <message>
        <source>You already have a preset named “%1”.</source>
        <translation>Sie haben schon eine Vorgabe namens „%1“.</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>Ersetzen</translation>
    </message>
    <message>
        <source>Keep Both</source>
        <translation>Beide behalten</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Überspringen</translation>
    </message>
    <message>
        <source>The presets could not be written to %1: %2</source>
        <translation>Die Vorgaben konnten nicht in %1 geschrieben werden: %2</translation>
    </message>
    <message>
        <source>%1 cannot be read (%2).</source>
        <translation>%1 kann nicht gelesen werden (%2).</translation>
    </message>
    <message>
        <source>Imported: %1</source>
        <translation>Importiert: %1</translation>
    </message>
    <message>
        <source>Skipped: %1</source>
        <translation>Übersprungen: %1</translation>
    </message>
    <message>
        <source>The import stopped: settings.dat cannot be written.</source>
        <translation>Der Import wurde abgebrochen: settings.dat kann nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>%1 holds no presets.</source>
        <translation>%1 enthält keine Vorgaben.</translation>
    </message>
</context>
<context>
    <name>PresetsDialog</name>
    <message>
        <source>Manage Presets</source>
        <translation>Vorgaben verwalten</translation>
    </message>
    <message>
        <source>My Presets:</source>
        <translation>Meine Vorgaben:</translation>
    </message>
    <message>
        <source>My Presets</source>
        <translation>Meine Vorgaben</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Umbenennen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
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
        <source>Export...</source>
        <translation>Exportieren...</translation>
    </message>
    <message>
        <source>Write your presets to a file, to share them or take them to another computer</source>
        <translation>Ihre Vorgaben in eine Datei schreiben, um sie weiterzugeben oder auf einen anderen Computer mitzunehmen</translation>
    </message>
    <message>
        <source>Import...</source>
        <translation>Importieren...</translation>
    </message>
    <message>
        <source>Add the presets of a file someone exported</source>
        <translation>Die Vorgaben einer exportierten Datei hinzufügen</translation>
    </message>
</context>
<context>
    <name>PreviewPlayer</name>
    <message>
        <source>Total time:</source>
        <translation>Gesamtzeit:</translation>
    </message>
</context>
<context>
    <name>Profile</name>
    <message>
        <source>Flash Video</source>
        <translation>Flash-Video</translation>
    </message>
    <message>
        <source>Flash Video Movie(*.flv)</source>
        <translation>Flash-Video-Film(*.flv)</translation>
    </message>
    <message>
        <source>Flash SWF(*.swf)</source>
        <translation>Flash SWF(*.swf)</translation>
    </message>
    <message>
        <source>Modern Video</source>
        <translation>Modernes Video</translation>
    </message>
    <message>
        <source>MP4 Video H.264 + AAC(*.mp4)</source>
        <translation>MP4-Video H.264 + AAC(*.mp4)</translation>
    </message>
    <message>
        <source>MP4 Video H.265 + AAC(*.mp4)</source>
        <translation>MP4-Video H.265 + AAC(*.mp4)</translation>
    </message>
    <message>
        <source>WebM Video VP9 + Opus(*.webm)</source>
        <translation>WebM-Video VP9 + Opus(*.webm)</translation>
    </message>
    <message>
        <source>WebM Video AV1 + Opus(*.webm)</source>
        <translation>WebM-Video AV1 + Opus(*.webm)</translation>
    </message>
    <message>
        <source>Matroska Video H.264 + AAC(*.mkv)</source>
        <translation>Matroska-Video H.264 + AAC(*.mkv)</translation>
    </message>
    <message>
        <source>Audio Only</source>
        <translation>Nur Ton</translation>
    </message>
    <message>
        <source>MP3 Audio(*.mp3)</source>
        <translation>MP3-Audio(*.mp3)</translation>
    </message>
    <message>
        <source>AAC Audio(*.m4a)</source>
        <translation>AAC-Audio(*.m4a)</translation>
    </message>
</context>
<context>
    <name>ProgressPanel</name>
    <message>
        <source>Progress....</source>
        <translation>Fortschritt....</translation>
    </message>
    <message>
        <source>Converting Time:</source>
        <translation>Umwandlungszeit:</translation>
    </message>
    <message>
        <source>0:00:00</source>
        <translation>0:00:00</translation>
    </message>
    <message>
        <source>Currently Conversion</source>
        <translation>Aktuelle Umwandlung</translation>
    </message>
    <message>
        <source>Total Conversion</source>
        <translation>Gesamte Umwandlung</translation>
    </message>
    <message>
        <source>The computer will shut down when the conversion ends.</source>
        <translation>Der Computer wird heruntergefahren, wenn die Umwandlung endet.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Pause every running encoder; click again to go on</source>
        <translation>Alle laufenden Encoder anhalten; erneut klicken, um fortzufahren</translation>
    </message>
</context>
<context>
    <name>QueueFile</name>
    <message>
        <source>it is damaged (%1 at byte %2)</source>
        <translation>sie ist beschädigt (%1 bei Byte %2)</translation>
    </message>
    <message>
        <source>it is not a list of files Clipvane wrote</source>
        <translation>sie ist keine Dateiliste, die Clipvane geschrieben hat</translation>
    </message>
    <message>
        <source>it was written by another version of Clipvane (format %1)</source>
        <translation>sie wurde von einer anderen Version von Clipvane geschrieben (Format %1)</translation>
    </message>
    <message>
        <source>it holds no list</source>
        <translation>sie enthält keine Liste</translation>
    </message>
</context>
<context>
    <name>RecordingCheck</name>
    <message>
        <source>%1 is gone: its file or folder was deleted or moved while recording.</source>
        <translation>%1 ist nicht mehr da: die Datei oder ihr Ordner wurde während der Aufnahme gelöscht oder verschoben.</translation>
    </message>
    <message>
        <source>nothing could be written to %1.</source>
        <translation>in %1 konnte nichts geschrieben werden.</translation>
    </message>
    <message>
        <source>%1 holds no pictures.</source>
        <translation>%1 enthält keine Bilder.</translation>
    </message>
    <message>
        <source>%1 was left unfinished and could not be repaired.</source>
        <translation>%1 blieb unfertig und konnte nicht repariert werden.</translation>
    </message>
</context>
<context>
    <name>RowProfile</name>
    <message>
        <source>This file's own profile %1 is no longer offered. Apply a profile to it again.</source>
        <translation>Das eigene Profil %1 dieser Datei wird nicht mehr angeboten. Wenden Sie erneut ein Profil auf sie an.</translation>
    </message>
    <message>
        <source>%1 (own profile %2): %3</source>
        <translation>%1 (eigenes Profil %2): %3</translation>
    </message>
</context>
<context>
    <name>RunChecks</name>
    <message>
        <source>%1 files hold sound only, and Disable Audio is Yes. Set Disable Audio to No.</source>
        <translation>%1-Dateien enthalten nur Ton, und „Ton deaktivieren“ steht auf „Ja“. Stellen Sie „Ton deaktivieren“ auf „Nein“.</translation>
    </message>
    <message>
        <source>WebM sound in %1 channel takes at most %2 kbit/s. Choose a lower Audio Bitrate, or more channels under Audio Channel.</source>
        <translation>WebM-Ton mit %1 Kanal nimmt höchstens %2 kbit/s. Wählen Sie eine niedrigere Audio-Bitrate oder mehr Kanäle unter „Audiokanäle“.</translation>
    </message>
    <message>
        <source>%1 files cannot carry sound at %2 Hz. Choose %3 Hz under Sample Rate.</source>
        <translation>%1-Dateien können keinen Ton mit %2 Hz enthalten. Wählen Sie %3 Hz unter „Abtastrate“.</translation>
    </message>
    <message>
        <source>The output folder %1 cannot be created or written. Choose another under Video Settings.</source>
        <translation>Der Ausgabeordner %1 kann nicht angelegt oder beschrieben werden. Wählen Sie unter „Videoeinstellungen“ einen anderen.</translation>
    </message>
    <message>
        <source>This file holds no sound, so there is nothing to write into a sound-only file.</source>
        <translation>Diese Datei enthält keinen Ton, also gibt es nichts, was in eine reine Tondatei geschrieben werden könnte.</translation>
    </message>
    <message>
        <source>This file holds sound only, no video picture. Choose MP3 Audio or AAC Audio under Profile: to convert it.</source>
        <translation>Diese Datei enthält nur Ton, kein Videobild. Wählen Sie unter Profil: MP3-Audio oder AAC-Audio, um sie umzuwandeln.</translation>
    </message>
    <message>
        <source>Pick an output profile under Profile: first.</source>
        <translation>Wählen Sie zuerst unter Profil: ein Ausgabeprofil.</translation>
    </message>
</context>
<context>
    <name>SavePresetDialog</name>
    <message>
        <source>Save as Preset</source>
        <translation>Als Vorgabe speichern</translation>
    </message>
    <message>
        <source>Preset name:</source>
        <translation>Name der Vorgabe:</translation>
    </message>
    <message>
        <source>Preset name</source>
        <translation>Name der Vorgabe</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>Video Options</source>
        <translation>Videooptionen</translation>
    </message>
    <message>
        <source>Save Video Files to</source>
        <translation>Videodateien speichern in</translation>
    </message>
    <message>
        <source>Output Folder</source>
        <translation>Ausgabeordner</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Durchsuchen...</translation>
    </message>
    <message>
        <source>If same as an existed file</source>
        <translation>Wenn eine Datei schon existiert</translation>
    </message>
    <message>
        <source>Add "New" after filename</source>
        <translation>„New“ an den Dateinamen anhängen</translation>
    </message>
    <message>
        <source>Overwrite the existed file</source>
        <translation>Die vorhandene Datei überschreiben</translation>
    </message>
    <message>
        <source>Automatically Shutdown Computer After Conversion</source>
        <translation>Computer nach der Umwandlung automatisch herunterfahren</translation>
    </message>
    <message>
        <source>Thread</source>
        <translation>Threads</translation>
    </message>
    <message>
        <source>Number of threads to use for</source>
        <translation>Zu verwendende Threads:</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>(0-8), 0 - Disable multi-thread</source>
        <translation>(0 bis 8; 0 schaltet Multithreading ab)</translation>
    </message>
    <message>
        <source>Convert at once:</source>
        <translation>Gleichzeitig umwandeln:</translation>
    </message>
    <message>
        <source>How many files a batch converts at the same time</source>
        <translation>Wie viele Dateien ein Stapel gleichzeitig umwandelt</translation>
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
        <source>Save converted files:</source>
        <translation>Umgewandelte Dateien speichern:</translation>
    </message>
    <message>
        <source>in the output folder</source>
        <translation>im Ausgabeordner</translation>
    </message>
    <message>
        <source>next to the source file</source>
        <translation>neben der Quelldatei</translation>
    </message>
    <message>
        <source>Each converted file goes into the folder of its source; where that folder cannot be written, into the output folder.</source>
        <translation>Jede umgewandelte Datei kommt in den Ordner ihrer Quelle; kann dieser Ordner nicht beschrieben werden, in den Ausgabeordner.</translation>
    </message>
    <message>
        <source>Compare each converted video with its source (Quality column)</source>
        <translation>Jedes umgewandelte Video mit seiner Quelle vergleichen (Spalte Qualität)</translation>
    </message>
    <message>
        <source>After a file is converted, a few of its frames are compared with the source's at low priority; the score shows in the Quality column.</source>
        <translation>Nach dem Umwandeln werden einige Bilder der Datei mit niedriger Priorität mit denen der Quelle verglichen; das Ergebnis steht in der Spalte Qualität.</translation>
    </message>
</context>
<context>
    <name>SettingsFile</name>
    <message>
        <source>it is not a file</source>
        <translation>sie ist keine Datei</translation>
    </message>
    <message>
        <source>it is a broken link</source>
        <translation>sie ist ein defekter Link</translation>
    </message>
    <message>
        <source>it is too large</source>
        <translation>sie ist zu groß</translation>
    </message>
    <message>
        <source>it is a link to a file that does not hold settings</source>
        <translation>sie ist ein Verweis auf eine Datei, die keine Einstellungen enthält</translation>
    </message>
</context>
<context>
    <name>SourceList</name>
    <message>
        <source>File Name</source>
        <translation>Dateiname</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>End</source>
        <translation>Ende</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Video Time</source>
        <translation>Videodauer</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>Profil</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualität</translation>
    </message>
    <message>
        <source>Excellent: the output is hard to tell from its source.</source>
        <translation>Ausgezeichnet: die Ausgabe ist kaum von ihrer Quelle zu unterscheiden.</translation>
    </message>
    <message>
        <source>Good: small losses, seen only when looking closely.</source>
        <translation>Gut: kleine Verluste, nur bei genauem Hinsehen zu erkennen.</translation>
    </message>
    <message>
        <source>Visible losses: the output is clearly worse than its source (try a higher bit rate).</source>
        <translation>Sichtbare Verluste: die Ausgabe ist deutlich schlechter als ihre Quelle (eine höhere Bitrate hilft).</translation>
    </message>
    <message>
        <source>%1 dB</source>
        <translation>%1 dB</translation>
    </message>
    <message>
        <source>identical frames</source>
        <translation>gleiche Bilder</translation>
    </message>
    <message>
        <source>SSIM %1, PSNR %2 (frames sampled from the clip)</source>
        <translation>SSIM %1, PSNR %2 (Stichprobe von Bildern aus dem Ausschnitt)</translation>
    </message>
    <message>
        <source>Estimate</source>
        <translation>Schätzung</translation>
    </message>
    <message>
        <source>Expected size %1: from the bit rates and the clip's length.</source>
        <translation>Erwartete Größe %1: aus den Bitraten und der Länge des Ausschnitts.</translation>
    </message>
    <message>
        <source>Target Size %1: the video rate is chosen to fill it, in two passes.</source>
        <translation>Zielgröße %1: die Videorate wird so gewählt, dass sie erreicht wird, in zwei Durchgängen.</translation>
    </message>
    <message>
        <source>Expected size about %1: measured on short sample encodes at three points of the clip with its options. The real size may differ by a tenth or more.</source>
        <translation>Erwartete Größe etwa %1: gemessen an kurzen Probekodierungen an drei Stellen des Ausschnitts mit seinen Optionen. Die wirkliche Größe kann um ein Zehntel oder mehr abweichen.</translation>
    </message>
</context>
<context>
    <name>StreamFacts</name>
    <message>
        <source> (forced)</source>
        <translation> (erzwungen)</translation>
    </message>
    <message>
        <source> (file %1)</source>
        <translation> (Datei %1)</translation>
    </message>
    <message>
        <source>Chapters: %1</source>
        <translation>Kapitel: %1</translation>
    </message>
    <message>
        <source>HDR (%1)</source>
        <translation>HDR (%1)</translation>
    </message>
    <message>
        <source>The subtitle file %1 cannot be read</source>
        <translation>Die Untertiteldatei %1 kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>%1: none of %2</source>
        <translation>%1: keine von %2</translation>
    </message>
    <message>
        <source>%1: %2 of %3 — %4</source>
        <translation>%1: %2 von %3 — %4</translation>
    </message>
    <message>
        <source>%1: %2 tracks — %3</source>
        <translation>%1: %2 Spuren — %3</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>Ton</translation>
    </message>
    <message>
        <source>Subtitles</source>
        <translation>Untertitel</translation>
    </message>
</context>
<context>
    <name>StreamMap</name>
    <message>
        <source>%1 files hold one sound track; kept %2, left out: %3.</source>
        <translation>%1-Dateien enthalten eine Tonspur; behalten: %2, weggelassen: %3.</translation>
    </message>
    <message>
        <source>%1 files hold %2 sound channels at most; %3 was mixed down to them.</source>
        <translation>%1-Dateien enthalten höchstens %2 Tonkanäle; %3 wurde auf sie heruntergemischt.</translation>
    </message>
    <message>
        <source>This file has no subtitles to burn in.</source>
        <translation>Diese Datei hat keine Untertitel zum Einbrennen.</translation>
    </message>
    <message>
        <source>No subtitle track is marked forced, so none was burnt in.</source>
        <translation>Keine Untertitelspur ist als erzwungen markiert, daher wurde keine eingebrannt.</translation>
    </message>
    <message>
        <source>The subtitle file %1 cannot be read; it is left out.</source>
        <translation>Die Untertiteldatei %1 kann nicht gelesen werden; sie wird weggelassen.</translation>
    </message>
    <message>
        <source>%1 files hold no subtitles; left out: %2.</source>
        <translation>%1-Dateien enthalten keine Untertitel; weggelassen: %2.</translation>
    </message>
    <message>
        <source>%1 files cannot hold these subtitles; left out: %2.</source>
        <translation>%1-Dateien können diese Untertitel nicht aufnehmen; weggelassen: %2.</translation>
    </message>
    <message>
        <source>The source is HDR (BT.2020 %1); its colours were tone-mapped to BT.709 for this 8-bit file.</source>
        <translation>Die Quelle ist HDR (BT.2020 %1); ihre Farben wurden für diese 8-Bit-Datei auf BT.709 abgebildet (Tone-Mapping).</translation>
    </message>
    <message>
        <source>No sound could be read from these tracks; left out: %1.</source>
        <translation>Aus diesen Spuren ließ sich kein Ton lesen; weggelassen: %1.</translation>
    </message>
</context>
<context>
    <name>clipvane::BatchProgress</name>
    <message>
        <source> To </source>
        <translation> nach </translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>Time left: </source>
        <translation>Verbleibende Zeit: </translation>
    </message>
    <message>
        <source>Time left: estimating…</source>
        <translation>Verbleibende Zeit: wird geschätzt…</translation>
    </message>
    <message>
        <source>Progress....</source>
        <translation>Fortschritt....</translation>
    </message>
</context>
<context>
    <name>clipvane::BatchRun</name>
    <message>
        <source>The option sheet is incomplete.</source>
        <translation>Die Optionsliste ist unvollständig.</translation>
    </message>
    <message>
        <source>Clipvane cannot write %1: %2.</source>
        <translation>Clipvane kann %1 nicht schreiben: %2.</translation>
    </message>
    <message>
        <source>Saved as %1 because %2 was written by an earlier file of this batch.</source>
        <translation>Als %1 gespeichert, weil %2 von einer früheren Datei dieses Durchlaufs geschrieben wurde.</translation>
    </message>
    <message>
        <source>No log could be written for this file, so Clipvane cannot tell why it might fail.
</source>
        <translation>Für diese Datei konnte kein Protokoll geschrieben werden, daher kann Clipvane nicht sagen, warum sie fehlschlagen könnte.
</translation>
    </message>
    <message>
        <source>The encoder tool could not be started.</source>
        <translation>Das Umwandlungsprogramm konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>The encoder stopped making progress.</source>
        <translation>Der Encoder kam nicht mehr voran.</translation>
    </message>
    <message>
        <source>The output could not be written in full.</source>
        <translation>Die Ausgabe konnte nicht vollständig geschrieben werden.</translation>
    </message>
    <message>
        <source>The encoder crashed (signal %1).</source>
        <translation>Der Encoder ist abgestürzt (Signal %1).</translation>
    </message>
    <message>
        <source>The encoder stopped with an error (exit code %1).</source>
        <translation>Der Encoder endete mit einem Fehler (Exit-Code %1).</translation>
    </message>
    <message>
        <source>The source has damaged parts (1 decoding error); the output may show them.</source>
        <translation>Die Quelle hat beschädigte Stellen (1 Dekodierfehler); die Ausgabe kann sie zeigen.</translation>
    </message>
    <message>
        <source>The source has damaged parts (%1 decoding errors); the output may show them.</source>
        <translation>Die Quelle hat beschädigte Stellen (%1 Dekodierfehler); die Ausgabe kann sie zeigen.</translation>
    </message>
    <message>
        <source>Saved in the output folder because %1 cannot be written.</source>
        <translation>Im Ausgabeordner gespeichert, weil %1 nicht beschrieben werden kann.</translation>
    </message>
    <message>
        <source>The hardware encoder failed: converted in software.</source>
        <translation>Der Hardware-Encoder ist gescheitert: in Software umgewandelt.</translation>
    </message>
    <message>
        <source>No private folder could be made for the Two-Pass log: %1</source>
        <translation>Für das Protokoll der zwei Durchgänge konnte kein privater Ordner angelegt werden: %1</translation>
    </message>
</context>
<context>
    <name>clipvane::CaptureDialog</name>
    <message>
        <source>Save Video File</source>
        <translation>Videodatei speichern</translation>
    </message>
    <message>
        <source>Avi Video file (*.avi)</source>
        <translation>AVI-Videodatei (*.avi)</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keiner</translation>
    </message>
    <message>
        <source>The camcorder records its own sound.</source>
        <translation>Der Camcorder nimmt seinen eigenen Ton auf.</translation>
    </message>
</context>
<context>
    <name>clipvane::DBusDesktopNotices</name>
    <message>
        <source>Open Folder</source>
        <translation>Ordner öffnen</translation>
    </message>
</context>
<context>
    <name>clipvane::EncoderLogDialog</name>
    <message>
        <source>Encoder Log  -  </source>
        <translation>Encoder-Protokoll  -  </translation>
    </message>
    <message>
        <source>The encoder wrote nothing to its log.</source>
        <translation>Der Encoder hat nichts in sein Protokoll geschrieben.</translation>
    </message>
</context>
<context>
    <name>clipvane::LinuxCapture</name>
    <message>
        <source>Test tone</source>
        <translation>Testton</translation>
    </message>
    <message>
        <source>No capture device is connected.</source>
        <translation>Es ist kein Aufnahmegerät verbunden.</translation>
    </message>
    <message>
        <source>The device %1 is gone.</source>
        <translation>Das Gerät %1 ist nicht mehr da.</translation>
    </message>
    <message>
        <source>No capture file is chosen.</source>
        <translation>Es ist keine Aufnahmedatei gewählt.</translation>
    </message>
    <message>
        <source>The folder %1 does not exist.</source>
        <translation>Der Ordner %1 existiert nicht.</translation>
    </message>
    <message>
        <source>The folder %1 cannot be written to.</source>
        <translation>In den Ordner %1 kann nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>FFmpeg (%1) could not be started.</source>
        <translation>FFmpeg (%1) konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>the capture file was deleted or moved</source>
        <translation>die Aufnahmedatei wurde gelöscht oder verschoben</translation>
    </message>
    <message>
        <source>the device sent no pictures for %1 seconds</source>
        <translation>das Gerät hat %1 Sekunden lang keine Bilder gesendet</translation>
    </message>
    <message>
        <source>%1 was disconnected</source>
        <translation>%1 wurde getrennt</translation>
    </message>
    <message>
        <source>FFmpeg crashed</source>
        <translation>FFmpeg ist abgestürzt</translation>
    </message>
    <message>
        <source>FFmpeg ended (exit code %1)</source>
        <translation>FFmpeg wurde beendet (Exit-Code %1)</translation>
    </message>
    <message>
        <source>the device stopped sending pictures</source>
        <translation>das Gerät sendet keine Bilder mehr</translation>
    </message>
    <message>
        <source>Nothing was recorded.</source>
        <translation>Es wurde nichts aufgenommen.</translation>
    </message>
    <message>
        <source>Recording stopped: %1.</source>
        <translation>Die Aufnahme wurde beendet: %1.</translation>
    </message>
    <message>
        <source> (FFmpeg: %1)</source>
        <translation> (FFmpeg: %1)</translation>
    </message>
    <message>
        <source>Recording stopped: %1. What was recorded until then is saved.</source>
        <translation>Die Aufnahme wurde beendet: %1. Was bis dahin aufgenommen wurde, ist gespeichert.</translation>
    </message>
    <message>
        <source>Recording stopped: %1. The recording could not be saved: %2</source>
        <translation>Die Aufnahme wurde beendet: %1. Die Aufnahme konnte nicht gespeichert werden: %2</translation>
    </message>
    <message>
        <source>The recording could not be saved: %1</source>
        <translation>Die Aufnahme konnte nicht gespeichert werden: %1</translation>
    </message>
</context>
<context>
    <name>clipvane::MainWindow</name>
    <message>
        <source>Click to change the output settings</source>
        <translation>Klicken, um die Ausgabeeinstellungen zu ändern</translation>
    </message>
    <message>
        <source>Shut down when done</source>
        <translation>Nach Abschluss herunterfahren</translation>
    </message>
    <message>
        <source>The computer shuts down when the conversion ends. Click to turn this off.</source>
        <translation>Der Computer fährt herunter, wenn die Umwandlung endet. Klicken, um das abzuschalten.</translation>
    </message>
    <message>
        <source>Convert Now!</source>
        <translation>Jetzt umwandeln!</translation>
    </message>
    <message>
        <source>Play Selected File</source>
        <translation>Gewählte Datei abspielen</translation>
    </message>
    <message>
        <source>Video Clip</source>
        <translation>Videoclip</translation>
    </message>
    <message>
        <source>Add Files</source>
        <translation>Dateien hinzufügen</translation>
    </message>
    <message>
        <source>Remove Selected Item</source>
        <translation>Gewählten Eintrag entfernen</translation>
    </message>
    <message>
        <source>Clear All Items</source>
        <translation>Alle Einträge entfernen</translation>
    </message>
    <message>
        <source>Move Up</source>
        <translation>Nach oben</translation>
    </message>
    <message>
        <source>Move Down</source>
        <translation>Nach unten</translation>
    </message>
    <message>
        <source>Capture Video From DV</source>
        <translation>Video von DV aufnehmen</translation>
    </message>
    <message>
        <source>Show Encoder Log</source>
        <translation>Encoder-Protokoll zeigen</translation>
    </message>
    <message>
        <source>Clipvane cannot read its settings file %1 (%2); it uses its defaults.</source>
        <translation>Clipvane kann seine Einstellungsdatei %1 nicht lesen (%2); es verwendet die Vorgaben.</translation>
    </message>
    <message>
        <source>The preset could not be saved: settings.dat cannot be written.</source>
        <translation>Die Vorlage konnte nicht gespeichert werden: settings.dat kann nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>Output: %1 · %2</source>
        <translation>Ausgabe: %1 · %2</translation>
    </message>
    <message>
        <source>overwrite existing files</source>
        <translation>vorhandene Dateien überschreiben</translation>
    </message>
    <message>
        <source>keep existing files</source>
        <translation>vorhandene Dateien behalten</translation>
    </message>
    <message>
        <source>Only files can be added. Not added:
</source>
        <translation>Nur Dateien können hinzugefügt werden. Nicht hinzugefügt:
</translation>
    </message>
    <message>
        <source>Audio Tracks…</source>
        <translation>Tonspuren…</translation>
    </message>
    <message>
        <source>Subtitles…</source>
        <translation>Untertitel…</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Apply Current Profile to Selected Files</source>
        <translation>Aktuelles Profil auf gewählte Dateien anwenden</translation>
    </message>
    <message>
        <source>Use the Picked Profile for Selected Files</source>
        <translation>Gewähltes Profil für gewählte Dateien verwenden</translation>
    </message>
    <message>
        <source>%1 in settings.dat was written in an older encoding (Windows-1252) and has been read as such; it is stored in UTF-8 when you save the settings.</source>
        <translation>%1 in settings.dat wurde in einer älteren Kodierung (Windows-1252) geschrieben und so gelesen; beim Speichern der Einstellungen wird es in UTF-8 abgelegt.</translation>
    </message>
    <message>
        <source>%1 is being converted. Stop converting it and take it out of the list?</source>
        <translation>%1 wird gerade umgewandelt. Das Umwandeln beenden und die Datei aus der Liste nehmen?</translation>
    </message>
    <message>
        <source>%1 of these files are being converted. Stop converting them and take them out of the list?</source>
        <translation>%1 dieser Dateien werden gerade umgewandelt. Das Umwandeln beenden und sie aus der Liste nehmen?</translation>
    </message>
    <message>
        <source>beside each source file (where that folder cannot be written: %1)</source>
        <translation>neben jeder Quelldatei (wo dieser Ordner nicht beschrieben werden kann: %1)</translation>
    </message>
    <message>
        <source>%1 (the source's own folder cannot be written)</source>
        <translation>%1 (der Ordner der Quelle kann nicht beschrieben werden)</translation>
    </message>
    <message>
        <source>Clipvane cannot save its settings to %1 (%2); changes last for this session only.</source>
        <translation>Clipvane kann seine Einstellungen nicht in %1 speichern (%2); Änderungen gelten nur für diese Sitzung.</translation>
    </message>
    <message>
        <source>Preview Output</source>
        <translation>Ausgabe als Vorschau</translation>
    </message>
    <message>
        <source>%1 — output sample: %2</source>
        <translation>%1 — Ausgabeprobe: %2</translation>
    </message>
    <message>
        <source>Making a sample of the output…</source>
        <translation>Eine Probe der Ausgabe wird erstellt…</translation>
    </message>
    <message>
        <source>Estimate: %1</source>
        <translation>Schätzung: %1</translation>
    </message>
    <message>
        <source> · %1 free</source>
        <translation> · %1 frei</translation>
    </message>
    <message>
        <source>The expected size of all converted files, and the free space on the disk of the output folder.</source>
        <translation>Die erwartete Größe aller umgewandelten Dateien und der freie Platz auf dem Datenträger des Ausgabeordners.</translation>
    </message>
    <message>
        <source>Convert anyway?</source>
        <translation>Trotzdem umwandeln?</translation>
    </message>
    <message>
        <source> (files still measured: %1)</source>
        <translation> (noch gemessene Dateien: %1)</translation>
    </message>
</context>
<context>
    <name>clipvane::OptionSheetWidget</name>
    <message>
        <source>Property</source>
        <translation>Eigenschaft</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Wert</translation>
    </message>
    <message>
        <source>Clip times are set in the clip dialog: double-click a file in the Video List.</source>
        <translation>Clip-Zeiten werden im Clip-Dialog eingestellt: Doppelklicken Sie auf eine Datei in der Videoliste.</translation>
    </message>
    <message>
        <source>%1 (best, largest file) to %2 (smallest file)</source>
        <translation>%1 (beste, größte Datei) bis %2 (kleinste Datei)</translation>
    </message>
</context>
<context>
    <name>clipvane::PresetsDialog</name>
    <message>
        <source>You have no presets.</source>
        <translation>Sie haben keine Vorgaben.</translation>
    </message>
    <message>
        <source>Profile: </source>
        <translation>Profil: </translation>
    </message>
    <message>
        <source>A preset needs a name.</source>
        <translation>Eine Vorgabe braucht einen Namen.</translation>
    </message>
    <message>
        <source>A preset named “%1” already exists.</source>
        <translation>Eine Vorgabe namens „%1“ gibt es schon.</translation>
    </message>
    <message>
        <source>The changes could not be saved to settings.dat.</source>
        <translation>Die Änderungen konnten nicht in settings.dat gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>clipvane::ProfilePicker</name>
    <message>
        <source> (its profile no longer exists)</source>
        <translation> (ihr Profil existiert nicht mehr)</translation>
    </message>
    <message>
        <source>My Presets</source>
        <translation>Meine Vorgaben</translation>
    </message>
</context>
<context>
    <name>clipvane::ProgressPanel</name>
    <message>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Go on converting</source>
        <translation>Mit dem Umwandeln fortfahren</translation>
    </message>
    <message>
        <source>Pause every running encoder; click again to go on</source>
        <translation>Alle laufenden Encoder anhalten; erneut klicken, um fortzufahren</translation>
    </message>
    <message>
        <source>Resume converting</source>
        <translation>Umwandeln fortsetzen</translation>
    </message>
    <message>
        <source>Pause converting</source>
        <translation>Umwandeln anhalten</translation>
    </message>
</context>
<context>
    <name>clipvane::QtMessageBoxes</name>
    <message>
        <source>The computer will shut down in %1 s.</source>
        <translation>Der Computer wird in %1 s heruntergefahren.</translation>
    </message>
    <message>
        <source>Stop converting?</source>
        <translation>Umwandeln beenden?</translation>
    </message>
    <message>
        <source>Stop now</source>
        <translation>Jetzt beenden</translation>
    </message>
    <message>
        <source>Skip this file</source>
        <translation>Diese Datei überspringen</translation>
    </message>
    <message>
        <source>Finish this file, then stop</source>
        <translation>Diese Datei fertigstellen, dann beenden</translation>
    </message>
    <message>
        <source>Keep converting</source>
        <translation>Weiter umwandeln</translation>
    </message>
    <message>
        <source>A file is still being converted.</source>
        <translation>Eine Datei wird noch umgewandelt.</translation>
    </message>
    <message>
        <source>%1 files are still being converted.</source>
        <translation>%1 Dateien werden noch umgewandelt.</translation>
    </message>
    <message>
        <source>Finish in the background: Clipvane closes, and the files under way are finished and named without it.
Stop now: they are stopped and their unfinished files removed.</source>
        <translation>Im Hintergrund fertigstellen: Clipvane wird geschlossen, die begonnenen Dateien werden ohne das Fenster fertiggestellt und benannt.
Jetzt beenden: sie werden abgebrochen und ihre unfertigen Dateien entfernt.</translation>
    </message>
    <message>
        <source>%1 more waiting in the list stay there for the next start.</source>
        <translation>%1 weitere wartende Dateien bleiben für den nächsten Start in der Liste.</translation>
    </message>
    <message>
        <source>Finish in the background</source>
        <translation>Im Hintergrund fertigstellen</translation>
    </message>
</context>
<context>
    <name>clipvane::QueueKeeper</name>
    <message>
        <source>Another Clipvane window keeps the list of files; this window's list is not kept when it closes.</source>
        <translation>Ein anderes Clipvane-Fenster bewahrt die Dateiliste auf; die Liste dieses Fensters wird beim Schließen nicht aufbewahrt.</translation>
    </message>
    <message>
        <source>The list of files cannot be saved to %1: %2.</source>
        <translation>Die Dateiliste kann nicht in %1 gespeichert werden: %2.</translation>
    </message>
    <message>
        <source>its folder cannot be written</source>
        <translation>ihr Ordner kann nicht beschrieben werden</translation>
    </message>
    <message>
        <source>The list of files of the last session (%1) could not be read: %2. It was set aside as %3; the list starts empty.</source>
        <translation>Die Dateiliste der letzten Sitzung (%1) konnte nicht gelesen werden: %2. Sie wurde als %3 beiseitegelegt; die Liste beginnt leer.</translation>
    </message>
    <message>
        <source>%1 entries of the list of the last session could not be read and were left out; the file as it was is kept as %2.</source>
        <translation>%1 Einträge der Liste der letzten Sitzung konnten nicht gelesen werden und wurden ausgelassen; die Datei, wie sie war, ist als %2 aufbewahrt.</translation>
    </message>
    <message>
        <source>The list of the last session is back: %1 of its %2 files are still to be converted.</source>
        <translation>Die Liste der letzten Sitzung ist wieder da: %1 ihrer %2 Dateien sind noch umzuwandeln.</translation>
    </message>
    <message>
        <source>Clipvane ended while this file was being converted; the unfinished file was removed. The next run converts it again.</source>
        <translation>Clipvane wurde beendet, während diese Datei umgewandelt wurde; die unfertige Datei wurde entfernt. Der nächste Durchlauf wandelt sie erneut um.</translation>
    </message>
</context>
<context>
    <name>clipvane::RealDesktopServices</name>
    <message>
        <source>no shutdown command is set.</source>
        <translation>es ist kein Befehl zum Herunterfahren eingestellt.</translation>
    </message>
    <message>
        <source>%1 could not be started.</source>
        <translation>%1 konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>%1 gave no answer within %2 s.</source>
        <translation>%1 hat nicht innerhalb von %2 s geantwortet.</translation>
    </message>
    <message>
        <source>%1 ended with exit code %2.</source>
        <translation>%1 endete mit dem Exit-Code %2.</translation>
    </message>
    <message>
        <source>Clipvane Help</source>
        <translation>Clipvane-Hilfe</translation>
    </message>
</context>
<context>
    <name>clipvane::RunCompletion</name>
    <message>
        <source>Invalid input file name. </source>
        <translation>Ungültiger Name der Eingabedatei. </translation>
    </message>
    <message>
        <source>The computer could not be shut down: %1</source>
        <translation>Der Computer konnte nicht heruntergefahren werden: %1</translation>
    </message>
    <message>
        <source>Conversion completed!</source>
        <translation>Umwandlung abgeschlossen!</translation>
    </message>
    <message>
        <source>%1 of %2 %3 failed. Hover over a failed row to see why.</source>
        <translation>%1 von %2 %3 fehlgeschlagen. Zeigen Sie auf eine fehlgeschlagene Zeile, um den Grund zu sehen.</translation>
    </message>
    <message>
        <source>file</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <source>The output folder %1 could not be opened: no file manager answered (is xdg-open installed?).</source>
        <translation>Der Ausgabeordner %1 konnte nicht geöffnet werden: Kein Dateimanager hat geantwortet (ist xdg-open installiert?).</translation>
    </message>
    <message>
        <source>Conversion Canceled by the user!</source>
        <translation>Umwandlung vom Benutzer abgebrochen!</translation>
    </message>
</context>
<context>
    <name>clipvane::RunNotices</name>
    <message>
        <source>1 file converted</source>
        <translation>1 Datei umgewandelt</translation>
    </message>
    <message>
        <source>%1 files converted</source>
        <translation>%1 Dateien umgewandelt</translation>
    </message>
    <message>
        <source>, %1 failed</source>
        <translation>, %1 fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>clipvane::SavePresetDialog</name>
    <message>
        <source>Type a name for the preset.</source>
        <translation>Geben Sie einen Namen für die Vorgabe ein.</translation>
    </message>
    <message>
        <source>Replaces your preset “%1”.</source>
        <translation>Ersetzt Ihre Vorgabe „%1“.</translation>
    </message>
    <message>
        <source>Saves the profile “%1” with the options as they are now.</source>
        <translation>Speichert das Profil „%1“ mit den Optionen, wie sie jetzt sind.</translation>
    </message>
</context>
<context>
    <name>clipvane::SettingsDialog</name>
    <message>
        <source>The settings could not be saved to %1.</source>
        <translation>Die Einstellungen konnten nicht in %1 gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>clipvane::SourceListView</name>
    <message>
        <source>Output: %1</source>
        <translation>Ausgabe: %1</translation>
    </message>
</context>
<context>
    <name>clipvane::TracksDialog</name>
    <message>
        <source>Audio Tracks</source>
        <translation>Tonspuren</translation>
    </message>
    <message>
        <source>Subtitles</source>
        <translation>Untertitel</translation>
    </message>
    <message>
        <source> (default)</source>
        <translation> (Standard)</translation>
    </message>
    <message>
        <source>Keep these sound tracks in the output (the default track goes first; MP3 and M4A files keep the first one only):</source>
        <translation>Diese Tonspuren in der Ausgabe behalten (die Standardspur kommt zuerst; MP3- und M4A-Dateien behalten nur die erste):</translation>
    </message>
    <message>
        <source>Keep these subtitles in the output (where its format can hold them):</source>
        <translation>Diese Untertitel in der Ausgabe behalten (wo ihr Format sie aufnehmen kann):</translation>
    </message>
    <message>
        <source>The default track, else the first</source>
        <translation>Die Standardspur, sonst die erste</translation>
    </message>
    <message>
        <source>Track drawn into the picture when Burn In Subtitles is Chosen Track:</source>
        <translation>Spur, die ins Bild gezeichnet wird, wenn „Untertitel einbrennen“ auf „Gewählte Spur“ steht:</translation>
    </message>
</context>
</TS>
