<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>DialogLanguage</name>
    <message>
        <location filename="dialoglanguage.ui" line="14"/>
        <source>Please choose a language</source>
        <translation>Please choose a language</translation>
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
        <translation>Serial port</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="67"/>
        <source>The port of the tester&apos;s cable or USB adapter. The list follows adapters as they are plugged in and out.</source>
        <translation>The port of the tester&apos;s cable or USB adapter. The list follows adapters as they are plugged in and out.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="93"/>
        <source>Cancel download</source>
        <translation>Cancel download</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="96"/>
        <source>Ends the running download. What has arrived so far is kept and can be saved.</source>
        <translation>Ends the running download. What has arrived so far is kept and can be saved.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="105"/>
        <source>&amp;Cancel</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="112"/>
        <source>Download records</source>
        <translation>Download records</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="115"/>
        <source>Opens the selected port and asks the tester for its records. Then start the transfer on the tester.</source>
        <translation>Opens the selected port and asks the tester for its records. Then start the transfer on the tester.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="124"/>
        <source>&amp;Download</source>
        <translation>&amp;Download</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="158"/>
        <source>Downloaded output</source>
        <translation>Downloaded output</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="161"/>
        <source>The records received from the tester, as text. Read-only.</source>
        <translation>The records received from the tester, as text. Read-only.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="201"/>
        <source>&amp;Open</source>
        <translation>&amp;Open</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="214"/>
        <source>&amp;Save</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="236"/>
        <source>&amp;File</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="242"/>
        <source>&amp;Tools</source>
        <translation>&amp;Tools</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="246"/>
        <source>Co&amp;untry Settings</source>
        <translation>Co&amp;untry Settings</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="256"/>
        <location filename="../ui/mainwindow.ui" line="300"/>
        <source>&amp;Help</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="268"/>
        <source>E&amp;xit</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="276"/>
        <source>&amp;Refresh Ports</source>
        <translation>&amp;Refresh Ports</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="284"/>
        <source>&amp;About</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="292"/>
        <source>&amp;Change Language...</source>
        <translation>&amp;Change Language...</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="311"/>
        <source>Con&amp;vert CSV Data</source>
        <translation>Con&amp;vert CSV Data</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="271"/>
        <source>Quits the application</source>
        <translation>Quits the application</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="279"/>
        <source>Refreshes the list of COM ports</source>
        <translation>Refreshes the list of COM ports</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="287"/>
        <source>Shows version information about Solar Velmora</source>
        <translation>Shows version information about Solar Velmora</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="295"/>
        <source>Change the language used in this application</source>
        <translation>Change the language used in this application</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="303"/>
        <source>Shows documentation</source>
        <translation>Shows documentation</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="40"/>
        <source>Device Connection</source>
        <translation>Device Connection</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.ui" line="134"/>
        <source>Downloaded Output</source>
        <translation>Downloaded Output</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="274"/>
        <source>Please select a port and connect your device</source>
        <translation>Please select a port and connect your device</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="276"/>
        <source>No serial port found: check cable, power and driver.</source>
        <translation>No serial port found: check cable, power and driver.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="294"/>
        <source>Now initiate the download on the tester</source>
        <translation>Now initiate the download on the tester</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="317"/>
        <source>Failed to connect. Please check the device is connected and switched on</source>
        <translation>Failed to connect. Please check the device is connected and switched on</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="343"/>
        <source>Downloading...</source>
        <translation>Downloading...</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="361"/>
        <source>More than %1 MB arrived without a pause: this is not a tester&apos;s memory. The download was stopped; what arrived can be saved.</source>
        <translation>More than %1 MB arrived without a pause: this is not a tester&apos;s memory. The download was stopped; what arrived can be saved.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="537"/>
        <source>Records from an earlier download were not saved.</source>
        <translation>Records from an earlier download were not saved.</translation>
    </message>
    <message numerus="yes">
        <location filename="../ui/mainwindow.cpp" line="540"/>
        <source>Downloaded on %1, %Ln bytes.</source>
        <comment>%1 is the date and time of the download</comment>
        <translation>
            <numerusform>Downloaded on %1, %Ln byte.</numerusform>
            <numerusform>Downloaded on %1, %Ln bytes.</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="543"/>
        <source>&amp;Later</source>
        <translation>&amp;Later</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="595"/>
        <source>Comma Separated Value files (*.csv)</source>
        <translation>Comma Separated Value files (*.csv)</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="597"/>
        <source>Text files (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="597"/>
        <source>All files (*.*)</source>
        <translation>All files (*.*)</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="599"/>
        <source>Records %1.csv</source>
        <comment>Proposed file name; %1 is the date and time of the download</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="605"/>
        <source>Save downloaded data to file</source>
        <translation>Save downloaded data to file</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="617"/>
        <source>Would you like to convert the data to German format?</source>
        <translation>Would you like to convert the data to German format?</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="619"/>
        <source>Decimal points will be replaced by commas and the commas separating fields will be replaced by semi-colons.</source>
        <translation>Decimal points will be replaced by commas and the commas separating fields will be replaced by semi-colons.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="638"/>
        <source>Error opening &quot;%1&quot; for writing. Is it open already or read only?</source>
        <comment>The %1 will be replaced with the a file name. Please do not remove it in your translation!</comment>
        <translation>Error opening &quot;%1&quot; for writing. Is it open already or read only?</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="652"/>
        <source>File successfully saved</source>
        <translation>File successfully saved</translation>
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
        <translation>About Corvane Velmora</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="205"/>
        <source>The language will be changed next time Corvane Velmora is started.</source>
        <translation>The language will be changed next time Corvane Velmora is started.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="114"/>
        <source>Bytes received</source>
        <translation>Bytes received</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="116"/>
        <source>How many bytes of the tester&apos;s records have arrived in this download.</source>
        <translation>How many bytes of the tester&apos;s records have arrived in this download.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="206"/>
        <source>Would you like to restart now?</source>
        <translation>Would you like to restart now?</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="17"/>
        <source>%1 is open to its owner (%2) only. Ask the administrator for access, for example with a udev rule that gives the port to the group dialout.</source>
        <comment>%1 is a port name such as ttyS0, %2 the user owning it, usually root. Keep udev and dialout as they are.</comment>
        <translation>%1 is open to its owner (%2) only. Ask the administrator for access, for example with a udev rule that gives the port to the group dialout.</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="26"/>
        <source>You are not allowed to use the port %1. Ask your administrator for access to it.</source>
        <comment>%1 is a port name such as ttyUSB0 or COM3</comment>
        <translation>You are not allowed to use the port %1. Ask your administrator for access to it.</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="34"/>
        <source>You are not allowed to use the port %1. Add your user to the group &quot;%2&quot; (for example: sudo usermod -aG %2 $USER), then log out and log in again.</source>
        <comment>%1 is a port name such as ttyUSB0, %2 the group owning the port, usually dialout. Keep the command as it is.</comment>
        <translation>You are not allowed to use the port %1. Add your user to the group &quot;%2&quot; (for example: sudo usermod -aG %2 $USER), then log out and log in again.</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="45"/>
        <source>%1 is in use by another program (process %2)</source>
        <comment>%1 is a port name such as ttyUSB0, %2 the process number of the program holding it</comment>
        <translation>%1 is in use by another program (process %2)</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="65"/>
        <source>The port %1 is in use by another program. Close that program and try again.</source>
        <comment>%1 is a port name such as ttyUSB0 or COM3</comment>
        <translation>The port %1 is in use by another program. Close that program and try again.</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="72"/>
        <source>Right after an adapter is plugged in, a modem service may hold the port for a few seconds: wait a moment and try again, or stop that service.</source>
        <translation>Right after an adapter is plugged in, a modem service may hold the port for a few seconds: wait a moment and try again, or stop that service.</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="80"/>
        <source>No port is selected. Plug the adapter in, choose &quot;Refresh Ports&quot; in the Tools menu and select its port.</source>
        <translation>No port is selected. Plug the adapter in, choose &quot;Refresh Ports&quot; in the Tools menu and select its port.</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="85"/>
        <source>The port %1 is not present. Plug the adapter in again, choose &quot;Refresh Ports&quot; in the Tools menu and select its port.</source>
        <comment>%1 is a port name such as ttyUSB0 or COM3</comment>
        <translation>The port %1 is not present. Plug the adapter in again, choose &quot;Refresh Ports&quot; in the Tools menu and select its port.</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="98"/>
        <source>The system reported: %1</source>
        <comment>%1 is the system&apos;s own error message</comment>
        <translation>The system reported: %1</translation>
    </message>
    <message numerus="yes">
        <location filename="../ui/mainwindow.cpp" line="47"/>
        <source>%Ln bytes received</source>
        <comment>Counter beside the busy indicator during a download</comment>
        <translation>
            <numerusform>%Ln byte received</numerusform>
            <numerusform>%Ln bytes received</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="487"/>
        <source>The downloaded records have not been saved.</source>
        <translation>The downloaded records have not been saved.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="488"/>
        <source>Do you want to save them?</source>
        <translation>Do you want to save them?</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="684"/>
        <source>No help file was found.</source>
        <translation>No help file was found.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="685"/>
        <source>Looked for:</source>
        <translation>Looked for:</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="55"/>
        <source>%1 is in use by %2 (process %3)</source>
        <comment>%1 is a port name such as ttyUSB0, %2 the name of the program holding it, such as cat, %3 its process number</comment>
        <translation>%1 is in use by %2 (process %3)</translation>
    </message>
    <message>
        <location filename="../download/connectionfailureadvice.cpp" line="51"/>
        <location filename="../download/connectionfailureadvice.cpp" line="62"/>
        <source>Close that program and try again.</source>
        <translation>Close that program and try again.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="433"/>
        <source>The connection to the tester was lost.</source>
        <translation>The connection to the tester was lost.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="436"/>
        <source>The records received so far may be incomplete. They are offered for saving next.</source>
        <translation>The records received so far may be incomplete. They are offered for saving next.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="439"/>
        <source>No records arrived. Check that the adapter is plugged in and the tester is switched on, then try again.</source>
        <translation>No records arrived. Check that the adapter is plugged in and the tester is switched on, then try again.</translation>
    </message>
    <message>
        <location filename="../ui/mainwindow.cpp" line="408"/>
        <source>Earlier records are no longer shown here; they are all kept and saved to the file.</source>
        <translation>Earlier records are no longer shown here; they are all kept and saved to the file.</translation>
    </message>
    <message>
        <location filename="../download/recordfilewriter.cpp" line="73"/>
        <source>The existing file is too large to be overwritten safely in this folder, where no new file may be created. Choose another folder.</source>
        <translation>The existing file is too large to be overwritten safely in this folder, where no new file may be created. Choose another folder.</translation>
    </message>
    <message>
        <location filename="../download/savetarget_posix.cpp" line="40"/>
        <source>This is a named pipe, not a file. Choose a file to save the records in.</source>
        <translation>This is a named pipe, not a file. Choose a file to save the records in.</translation>
    </message>
    <message>
        <location filename="../download/savetarget_posix.cpp" line="45"/>
        <source>This is a socket, not a file. Choose a file to save the records in.</source>
        <translation>This is a socket, not a file. Choose a file to save the records in.</translation>
    </message>
</context>
</TS>
