<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>DialogLanguage</name>
    <message>
        <location filename="dialoglanguage.ui" line="14"/>
        <source>Please choose a language</source>
        <translation>Bitte wählen Sie eine Sprache</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../ui/mainwindow.ui" line="14"/>
        <source>Corvane Velmora</source>
        <translation>Corvane Velmora</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="64"/>
        <source>Serial port</source>
        <translation>Serieller Anschluss</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="67"/>
        <source>The port of the tester&apos;s cable or USB adapter. The list follows adapters as they are plugged in and out.</source>
        <translation>Der Anschluss des Kabels oder USB-Adapters des Prüfgeräts. Die Liste folgt den Adaptern, wenn sie eingesteckt oder abgezogen werden.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="93"/>
        <source>Cancel download</source>
        <translation>Übertragung abbrechen</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="96"/>
        <source>Ends the running download. What has arrived so far is kept and can be saved.</source>
        <translation>Beendet die laufende Übertragung. Was bis dahin angekommen ist, bleibt erhalten und lässt sich speichern.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="105"/>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="112"/>
        <source>Download records</source>
        <translation>Daten herunterladen</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="115"/>
        <source>Opens the selected port and asks the tester for its records. Then start the transfer on the tester.</source>
        <translation>Öffnet den gewählten Anschluss und fordert die Daten des Prüfgeräts an. Starten Sie danach die Übertragung am Prüfgerät.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="124"/>
        <source>&amp;Download</source>
        <translation>Herunter&amp;laden</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="158"/>
        <source>Downloaded output</source>
        <translation>Heruntergeladene Daten</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="161"/>
        <source>The records received from the tester, as text. Read-only.</source>
        <translation>Die vom Prüfgerät empfangenen Daten als Text. Nur lesbar.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="201"/>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="214"/>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="236"/>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="242"/>
        <source>&amp;Tools</source>
        <translation>E&amp;xtras</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="246"/>
        <source>Co&amp;untry Settings</source>
        <translation>&amp;Ländereinstellungen</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="256"/>
        <location filename="../ui/mainwindow.ui" line="300"/>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="268"/>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="276"/>
        <source>&amp;Refresh Ports</source>
        <translation>&amp;Anschlüsse aktualisieren</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="284"/>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="292"/>
        <source>&amp;Change Language...</source>
        <translation>&amp;Sprache ändern...</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="311"/>
        <source>Con&amp;vert CSV Data</source>
        <translation>CSV-Daten &amp;umwandeln</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="271"/>
        <source>Quits the application</source>
        <translation>Beendet das Programm</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="279"/>
        <source>Refreshes the list of COM ports</source>
        <translation>Aktualisiert die Liste der COM-Anschlüsse</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="287"/>
        <source>Shows version information about Solar Velmora</source>
        <translation>Zeigt Versionsinformationen zu Solar Velmora</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="295"/>
        <source>Change the language used in this application</source>
        <translation>Ändert die Sprache dieses Programms</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="303"/>
        <source>Shows documentation</source>
        <translation>Zeigt die Anleitung</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="40"/>
        <source>Device Connection</source>
        <translation>Geräteverbindung</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="134"/>
        <source>Downloaded Output</source>
        <translation>Heruntergeladene Daten</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="274"/>
        <source>Please select a port and connect your device</source>
        <translation>Bitte wählen Sie einen Anschluss und schließen Sie Ihr Gerät an</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="276"/>
        <source>No serial port found: check cable, power and driver.</source>
        <translation>Kein Anschluss gefunden: Kabel, Strom und Treiber prüfen.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="294"/>
        <source>Now initiate the download on the tester</source>
        <translation>Starten Sie jetzt die Übertragung am Prüfgerät</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="317"/>
        <source>Failed to connect. Please check the device is connected and switched on</source>
        <translation>Verbindung fehlgeschlagen. Bitte prüfen Sie, ob das Gerät angeschlossen und eingeschaltet ist</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="343"/>
        <source>Downloading...</source>
        <translation>Daten werden empfangen...</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="361"/>
        <source>More than %1 MB arrived without a pause: this is not a tester&apos;s memory. The download was stopped; what arrived can be saved.</source>
        <translation>Mehr als %1 MB kamen ohne Pause an: Das ist nicht der Speicher eines Prüfgeräts. Der Download wurde beendet; was angekommen ist, kann gespeichert werden.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="537"/>
        <source>Records from an earlier download were not saved.</source>
        <translation>Die Daten einer früheren Übertragung wurden nicht gespeichert.</translation>
    </message>
    <message numerus="yes">
        <location filename="../ui/mainwindow.cpp" line="540"/>
        <source>Downloaded on %1, %Ln bytes.</source>
        <comment>%1 is the date and time of the download</comment>
        <translation>
            <numerusform>Heruntergeladen am %1, %Ln Byte.</numerusform>
            <numerusform>Heruntergeladen am %1, %Ln Bytes.</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="543"/>
        <source>&amp;Later</source>
        <translation>S&amp;päter</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="595"/>
        <source>Comma Separated Value files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="597"/>
        <source>Text files (*.txt)</source>
        <translation>Textdateien (*.txt)</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="597"/>
        <source>All files (*.*)</source>
        <translation>Alle Dateien (*.*)</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="599"/>
        <source>Records %1.csv</source>
        <comment>Proposed file name; %1 is the date and time of the download</comment>
        <translation>Messdaten %1.csv</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="605"/>
        <source>Save downloaded data to file</source>
        <translation>Heruntergeladene Daten in Datei speichern</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="617"/>
        <source>Would you like to convert the data to German format?</source>
        <translation>Möchten Sie die Daten in das deutsche Format umwandeln?</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="619"/>
        <source>Decimal points will be replaced by commas and the commas separating fields will be replaced by semi-colons.</source>
        <translation>Dezimalpunkte werden durch Kommas ersetzt und die Kommas zwischen den Feldern durch Semikolons.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="638"/>
        <source>Error opening &quot;%1&quot; for writing. Is it open already or read only?</source>
        <comment>The %1 will be replaced with the a file name. Please do not remove it in your translation!</comment>
        <translation>Die Datei „%1“ lässt sich nicht zum Schreiben öffnen. Ist sie schon geöffnet oder schreibgeschützt?</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="652"/>
        <source>File successfully saved</source>
        <translation>Datei erfolgreich gespeichert</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="658"/>
        <source>Corvane Velmora

 %1
</source>
        <comment>The %1 is replaced with the version number so please don&apos;t remove it!</comment>
        <translation>Corvane Velmora

 %1
</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="661"/>
        <source>About Corvane Velmora</source>
        <comment>Title of the About box</comment>
        <translation>Über Corvane Velmora</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="205"/>
        <source>The language will be changed next time Corvane Velmora is started.</source>
        <translation>Die Sprache wird beim nächsten Start von Corvane Velmora umgestellt.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="114"/>
        <source>Bytes received</source>
        <translation>Empfangene Bytes</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="116"/>
        <source>How many bytes of the tester&apos;s records have arrived in this download.</source>
        <translation>Wie viele Bytes der Daten des Prüfgeräts bei dieser Übertragung angekommen sind.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="206"/>
        <source>Would you like to restart now?</source>
        <translation>Möchten Sie das Programm jetzt neu starten?</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="17"/>
        <source>%1 is open to its owner (%2) only. Ask the administrator for access, for example with a udev rule that gives the port to the group dialout.</source>
        <comment>%1 is a port name such as ttyS0, %2 the user owning it, usually root. Keep udev and dialout as they are.</comment>
        <translation>Der Anschluss %1 ist nur seinem Besitzer (%2) zugänglich. Bitten Sie Ihre Administratorin oder Ihren Administrator um Zugriff, zum Beispiel mit einer udev-Regel, die den Anschluss der Gruppe dialout zuordnet.</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="26"/>
        <source>You are not allowed to use the port %1. Ask your administrator for access to it.</source>
        <comment>%1 is a port name such as ttyUSB0 or COM3</comment>
        <translation>Sie dürfen den Anschluss %1 nicht verwenden. Bitten Sie Ihre Administratorin oder Ihren Administrator um Zugriff darauf.</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="34"/>
        <source>You are not allowed to use the port %1. Add your user to the group &quot;%2&quot; (for example: sudo usermod -aG %2 $USER), then log out and log in again.</source>
        <comment>%1 is a port name such as ttyUSB0, %2 the group owning the port, usually dialout. Keep the command as it is.</comment>
        <translation>Sie dürfen den Anschluss %1 nicht verwenden. Nehmen Sie Ihren Benutzer in die Gruppe &quot;%2&quot; auf (zum Beispiel: sudo usermod -aG %2 $USER), melden Sie sich dann ab und wieder an.</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="45"/>
        <source>%1 is in use by another program (process %2)</source>
        <comment>%1 is a port name such as ttyUSB0, %2 the process number of the program holding it</comment>
        <translation>%1 wird von einem anderen Programm verwendet (Prozess %2)</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="65"/>
        <source>The port %1 is in use by another program. Close that program and try again.</source>
        <comment>%1 is a port name such as ttyUSB0 or COM3</comment>
        <translation>Der Anschluss %1 wird von einem anderen Programm verwendet. Schließen Sie dieses Programm und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="72"/>
        <source>Right after an adapter is plugged in, a modem service may hold the port for a few seconds: wait a moment and try again, or stop that service.</source>
        <translation>Direkt nach dem Einstecken eines Adapters kann ein Modemdienst den Anschluss einige Sekunden lang belegen: Warten Sie einen Moment und versuchen Sie es erneut, oder beenden Sie diesen Dienst.</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="80"/>
        <source>No port is selected. Plug the adapter in, choose &quot;Refresh Ports&quot; in the Tools menu and select its port.</source>
        <translation>Es ist kein Anschluss ausgewählt. Stecken Sie den Adapter ein, wählen Sie im Menü &quot;Extras&quot; den Eintrag &quot;Anschlüsse aktualisieren&quot; und wählen Sie seinen Anschluss aus.</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="85"/>
        <source>The port %1 is not present. Plug the adapter in again, choose &quot;Refresh Ports&quot; in the Tools menu and select its port.</source>
        <comment>%1 is a port name such as ttyUSB0 or COM3</comment>
        <translation>Der Anschluss %1 ist nicht vorhanden. Stecken Sie den Adapter erneut ein, wählen Sie im Menü &quot;Extras&quot; den Eintrag &quot;Anschlüsse aktualisieren&quot; und wählen Sie seinen Anschluss aus.</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="98"/>
        <source>The system reported: %1</source>
        <comment>%1 is the system&apos;s own error message</comment>
        <translation>Meldung des Systems: %1</translation>
    </message>
    <message numerus="yes">
        <location filename="../ui/mainwindow.cpp" line="47"/>
        <source>%Ln bytes received</source>
        <comment>Counter beside the busy indicator during a download</comment>
        <translation>
            <numerusform>%Ln Byte empfangen</numerusform>
            <numerusform>%Ln Bytes empfangen</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="487"/>
        <source>The downloaded records have not been saved.</source>
        <translation>Die heruntergeladenen Daten wurden nicht gespeichert.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="488"/>
        <source>Do you want to save them?</source>
        <translation>Möchten Sie sie speichern?</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="684"/>
        <source>No help file was found.</source>
        <translation>Es wurde keine Hilfedatei gefunden.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="685"/>
        <source>Looked for:</source>
        <translation>Gesucht wurde:</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="55"/>
        <source>%1 is in use by %2 (process %3)</source>
        <comment>%1 is a port name such as ttyUSB0, %2 the name of the program holding it, such as cat, %3 its process number</comment>
        <translation>%1 wird von %2 verwendet (Prozess %3)</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="51"/>
        <location filename="../download/connectionfailureadvice.cpp" line="62"/>
        <source>Close that program and try again.</source>
        <translation>Schließen Sie dieses Programm und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="433"/>
        <source>The connection to the tester was lost.</source>
        <translation>Die Verbindung zum Prüfgerät ist abgebrochen.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="436"/>
        <source>The records received so far may be incomplete. They are offered for saving next.</source>
        <translation>Die bisher empfangenen Datensätze sind möglicherweise unvollständig. Sie werden anschließend zum Speichern angeboten.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="439"/>
        <source>No records arrived. Check that the adapter is plugged in and the tester is switched on, then try again.</source>
        <translation>Es sind keine Datensätze angekommen. Prüfen Sie, ob der Adapter eingesteckt und das Prüfgerät eingeschaltet ist, und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="408"/>
        <source>Earlier records are no longer shown here; they are all kept and saved to the file.</source>
        <translation>Frühere Datensätze werden hier nicht mehr angezeigt; sie bleiben alle erhalten und werden in die Datei gespeichert.</translation>
    </message>
    <message>
        <location filename="../download/recordfilewriter.cpp" line="73"/>
        <source>The existing file is too large to be overwritten safely in this folder, where no new file may be created. Choose another folder.</source>
        <translation>Die vorhandene Datei ist zu groß, um in diesem Ordner, in dem keine neuen Dateien angelegt werden dürfen, sicher überschrieben zu werden. Wählen Sie einen anderen Ordner.</translation>
    </message>
    <message>
        <location filename="../download/savetarget_posix.cpp" line="40"/>
        <source>This is a named pipe, not a file. Choose a file to save the records in.</source>
        <translation>Dies ist eine benannte Pipe, keine Datei. Wählen Sie eine Datei, in der die Daten gespeichert werden sollen.</translation>
    </message>
    <message>
        <location filename="../download/savetarget_posix.cpp" line="45"/>
        <source>This is a socket, not a file. Choose a file to save the records in.</source>
        <translation>Dies ist ein Socket, keine Datei. Wählen Sie eine Datei, in der die Daten gespeichert werden sollen.</translation>
    </message>
</context>
</TS>
