<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>DialogLanguage</name>
    <message>
        <source>Please choose a language</source>
        <translation>Bitte wählen Sie eine Sprache</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Corvane Velmora</source>
        <translation>Corvane Velmora</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Quits the application</source>
        <translation>Beendet das Programm</translation>
    </message>
    <message>
        <source>Refresh Ports</source>
        <translation>Anschlüsse aktualisieren</translation>
    </message>
    <message>
        <source>Refreshes the list of COM ports</source>
        <translation>Aktualisiert die Liste der COM-Anschlüsse</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Shows version information about Solar Velmora</source>
        <translation>Zeigt Versionsinformationen zu Solar Velmora</translation>
    </message>
    <message>
        <source>Change Language...</source>
        <translation>Sprache ändern...</translation>
    </message>
    <message>
        <source>Change the language used in this application</source>
        <translation>Ändert die Sprache dieses Programms</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Shows documentation</source>
        <translation>Zeigt die Anleitung</translation>
    </message>
    <message>
        <source>Convert CSV Data</source>
        <translation>CSV-Daten umwandeln</translation>
    </message>
    <message>
        <source>Device Connection</source>
        <translation>Geräteverbindung</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Herunterladen</translation>
    </message>
    <message>
        <source>Downloaded Output</source>
        <translation>Heruntergeladene Daten</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>Extras</translation>
    </message>
    <message>
        <source>Country Settings</source>
        <translation>Ländereinstellungen</translation>
    </message>
    <message>
        <source>Please select a port and connect your device</source>
        <translation>Bitte wählen Sie einen Anschluss und schließen Sie Ihr Gerät an</translation>
    </message>
    <message>
        <source>Now initiate the download on the tester</source>
        <translation>Starten Sie jetzt die Übertragung am Prüfgerät</translation>
    </message>
    <message>
        <source>Failed to connect. Please check the device is connected and switched on</source>
        <translation>Verbindung fehlgeschlagen. Bitte prüfen Sie, ob das Gerät angeschlossen und eingeschaltet ist</translation>
    </message>
    <message>
        <source>Downloading...</source>
        <translation>Daten werden empfangen...</translation>
    </message>
    <message>
        <source>Comma Separated Value files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>Text files (*.txt)</source>
        <translation>Textdateien (*.txt)</translation>
    </message>
    <message>
        <source>All files (*.*)</source>
        <translation>Alle Dateien (*.*)</translation>
    </message>
    <message>
        <source>Save downloaded data to file</source>
        <translation>Heruntergeladene Daten in Datei speichern</translation>
    </message>
    <message>
        <source>Would you like to convert the data to German format?</source>
        <translation>Möchten Sie die Daten in das deutsche Format umwandeln?</translation>
    </message>
    <message>
        <source>Decimal points will be replaced by commas and the commas separating fields will be replaced by semi-colons.</source>
        <translation>Dezimalpunkte werden durch Kommas ersetzt und die Kommas zwischen den Feldern durch Semikolons.</translation>
    </message>
    <message>
        <source>Error opening &quot;%1&quot; for writing. Is it open already or read only?</source>
        <comment>The %1 will be replaced with the a file name. Please do not remove it in your translation!</comment>
        <translation>Die Datei „%1“ lässt sich nicht zum Schreiben öffnen. Ist sie schon geöffnet oder schreibgeschützt?</translation>
    </message>
    <message>
        <source>File successfully saved</source>
        <translation>Datei erfolgreich gespeichert</translation>
    </message>
    <message>
        <source>Corvane Velmora

 %1
</source>
        <comment>The %1 is replaced with the version number so please don&apos;t remove it!</comment>
        <translation>Corvane Velmora

 %1
</translation>
    </message>
    <message>
        <source>About Corvane Velmora</source>
        <comment>Title of the About box</comment>
        <translation>Über Corvane Velmora</translation>
    </message>
    <message>
        <source>The language will be changed next time Corvane Velmora is started.</source>
        <translation>Die Sprache wird beim nächsten Start von Corvane Velmora umgestellt.</translation>
    </message>
    <message>
        <source>Would you like to restart now?</source>
        <translation>Möchten Sie das Programm jetzt neu starten?</translation>
    </message>
    <message>
        <source>You are not allowed to use the port %1. Ask your administrator for access to it.</source>
        <comment>%1 is a port name such as ttyUSB0 or COM3</comment>
        <translation>Sie dürfen den Anschluss %1 nicht verwenden. Bitten Sie Ihre Administratorin oder Ihren Administrator um Zugriff darauf.</translation>
    </message>
    <message>
        <source>You are not allowed to use the port %1. Add your user to the group &quot;%2&quot; (for example: sudo usermod -aG %2 $USER), then log out and log in again.</source>
        <comment>%1 is a port name such as ttyUSB0, %2 the group owning the port, usually dialout. Keep the command as it is.</comment>
        <translation>Sie dürfen den Anschluss %1 nicht verwenden. Nehmen Sie Ihren Benutzer in die Gruppe &quot;%2&quot; auf (zum Beispiel: sudo usermod -aG %2 $USER), melden Sie sich dann ab und wieder an.</translation>
    </message>
    <message>
        <source>The port %1 is in use by another program. Close that program and try again.</source>
        <comment>%1 is a port name such as ttyUSB0 or COM3</comment>
        <translation>Der Anschluss %1 wird von einem anderen Programm verwendet. Schließen Sie dieses Programm und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>Right after an adapter is plugged in, a modem service may hold the port for a few seconds: wait a moment and try again, or stop that service.</source>
        <translation>Direkt nach dem Einstecken eines Adapters kann ein Modemdienst den Anschluss einige Sekunden lang belegen: Warten Sie einen Moment und versuchen Sie es erneut, oder beenden Sie diesen Dienst.</translation>
    </message>
    <message>
        <source>No port is selected. Plug the adapter in, choose &quot;Refresh Ports&quot; in the Tools menu and select its port.</source>
        <translation>Es ist kein Anschluss ausgewählt. Stecken Sie den Adapter ein, wählen Sie im Menü &quot;Extras&quot; den Eintrag &quot;Anschlüsse aktualisieren&quot; und wählen Sie seinen Anschluss aus.</translation>
    </message>
    <message>
        <source>The port %1 is not present. Plug the adapter in again, choose &quot;Refresh Ports&quot; in the Tools menu and select its port.</source>
        <comment>%1 is a port name such as ttyUSB0 or COM3</comment>
        <translation>Der Anschluss %1 ist nicht vorhanden. Stecken Sie den Adapter erneut ein, wählen Sie im Menü &quot;Extras&quot; den Eintrag &quot;Anschlüsse aktualisieren&quot; und wählen Sie seinen Anschluss aus.</translation>
    </message>
    <message>
        <source>The system reported: %1</source>
        <comment>%1 is the system&apos;s own error message</comment>
        <translation>Meldung des Systems: %1</translation>
    </message>
    <message>
        <source>%1 bytes received</source>
        <comment>Counter beside the busy indicator during a download</comment>
        <translation>%1 Bytes empfangen</translation>
    </message>
    <message>
        <source>%1 is in use by %2 (process %3)</source>
        <comment>%1 is a port name such as ttyUSB0, %2 the name of the program holding it, such as cat, %3 its process number</comment>
        <translation>%1 wird von %2 verwendet (Prozess %3)</translation>
    </message>
    <message>
        <source>Close that program and try again.</source>
        <translation>Schließen Sie dieses Programm und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>The connection to the tester was lost.</source>
        <translation>Die Verbindung zum Prüfgerät ist abgebrochen.</translation>
    </message>
    <message>
        <source>The records received so far may be incomplete. They are offered for saving next.</source>
        <translation>Die bisher empfangenen Datensätze sind möglicherweise unvollständig. Sie werden anschließend zum Speichern angeboten.</translation>
    </message>
    <message>
        <source>No records arrived. Check that the adapter is plugged in and the tester is switched on, then try again.</source>
        <translation>Es sind keine Datensätze angekommen. Prüfen Sie, ob der Adapter eingesteckt und das Prüfgerät eingeschaltet ist, und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>Earlier records are no longer shown here; they are all kept and saved to the file.</source>
        <translation>Frühere Datensätze werden hier nicht mehr angezeigt; sie bleiben alle erhalten und werden in die Datei gespeichert.</translation>
    </message>
</context>
</TS>
