<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>DialogLanguage</name>
    <message>
        <source>Please choose a language</source>
        <translation>Please choose a language</translation>
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
        <translation>Exit</translation>
    </message>
    <message>
        <source>Quits the application</source>
        <translation>Quits the application</translation>
    </message>
    <message>
        <source>Refresh Ports</source>
        <translation>Refresh Ports</translation>
    </message>
    <message>
        <source>Refreshes the list of COM ports</source>
        <translation>Refreshes the list of COM ports</translation>
    </message>
    <message>
        <source>About</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Shows version information about Solar Velmora</source>
        <translation>Shows version information about Solar Velmora</translation>
    </message>
    <message>
        <source>Change Language...</source>
        <translation>Change Language...</translation>
    </message>
    <message>
        <source>Change the language used in this application</source>
        <translation>Change the language used in this application</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Shows documentation</source>
        <translation>Shows documentation</translation>
    </message>
    <message>
        <source>Convert CSV Data</source>
        <translation>Convert CSV Data</translation>
    </message>
    <message>
        <source>Device Connection</source>
        <translation>Device Connection</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>Downloaded Output</source>
        <translation>Downloaded Output</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>File</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>Country Settings</source>
        <translation>Country Settings</translation>
    </message>
    <message>
        <source>Please select a port and connect your device</source>
        <translation>Please select a port and connect your device</translation>
    </message>
    <message>
        <source>Now initiate the download on the tester</source>
        <translation>Now initiate the download on the tester</translation>
    </message>
    <message>
        <source>Failed to connect. Please check the device is connected and switched on</source>
        <translation>Failed to connect. Please check the device is connected and switched on</translation>
    </message>
    <message>
        <source>Downloading...</source>
        <translation>Downloading...</translation>
    </message>
    <message>
        <source>Comma Separated Value files (*.csv)</source>
        <translation>Comma Separated Value files (*.csv)</translation>
    </message>
    <message>
        <source>Text files (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>All files (*.*)</source>
        <translation>All files (*.*)</translation>
    </message>
    <message>
        <source>Save downloaded data to file</source>
        <translation>Save downloaded data to file</translation>
    </message>
    <message>
        <source>Would you like to convert the data to German format?</source>
        <translation>Would you like to convert the data to German format?</translation>
    </message>
    <message>
        <source>Decimal points will be replaced by commas and the commas separating fields will be replaced by semi-colons.</source>
        <translation>Decimal points will be replaced by commas and the commas separating fields will be replaced by semi-colons.</translation>
    </message>
    <message>
        <source>Error opening &quot;%1&quot; for writing. Is it open already or read only?</source>
        <comment>The %1 will be replaced with the a file name. Please do not remove it in your translation!</comment>
        <translation>Error opening &quot;%1&quot; for writing. Is it open already or read only?</translation>
    </message>
    <message>
        <source>File successfully saved</source>
        <translation>File successfully saved</translation>
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
        <translation>About Corvane Velmora</translation>
    </message>
    <message>
        <source>The language will be changed next time Corvane Velmora is started.</source>
        <translation>The language will be changed next time Corvane Velmora is started.</translation>
    </message>
    <message>
        <source>Would you like to restart now?</source>
        <translation>Would you like to restart now?</translation>
    </message>
    <message>
        <source>You are not allowed to use the port %1. Ask your administrator for access to it.</source>
        <comment>%1 is a port name such as ttyUSB0 or COM3</comment>
        <translation>You are not allowed to use the port %1. Ask your administrator for access to it.</translation>
    </message>
    <message>
        <source>You are not allowed to use the port %1. Add your user to the group &quot;%2&quot; (for example: sudo usermod -aG %2 $USER), then log out and log in again.</source>
        <comment>%1 is a port name such as ttyUSB0, %2 the group owning the port, usually dialout. Keep the command as it is.</comment>
        <translation>You are not allowed to use the port %1. Add your user to the group &quot;%2&quot; (for example: sudo usermod -aG %2 $USER), then log out and log in again.</translation>
    </message>
    <message>
        <source>The port %1 is in use by another program. Close that program and try again.</source>
        <comment>%1 is a port name such as ttyUSB0 or COM3</comment>
        <translation>The port %1 is in use by another program. Close that program and try again.</translation>
    </message>
    <message>
        <source>Right after an adapter is plugged in, a modem service may hold the port for a few seconds: wait a moment and try again, or stop that service.</source>
        <translation>Right after an adapter is plugged in, a modem service may hold the port for a few seconds: wait a moment and try again, or stop that service.</translation>
    </message>
    <message>
        <source>No port is selected. Plug the adapter in, choose &quot;Refresh Ports&quot; in the Tools menu and select its port.</source>
        <translation>No port is selected. Plug the adapter in, choose &quot;Refresh Ports&quot; in the Tools menu and select its port.</translation>
    </message>
    <message>
        <source>The port %1 is not present. Plug the adapter in again, choose &quot;Refresh Ports&quot; in the Tools menu and select its port.</source>
        <comment>%1 is a port name such as ttyUSB0 or COM3</comment>
        <translation>The port %1 is not present. Plug the adapter in again, choose &quot;Refresh Ports&quot; in the Tools menu and select its port.</translation>
    </message>
    <message>
        <source>The system reported: %1</source>
        <comment>%1 is the system&apos;s own error message</comment>
        <translation>The system reported: %1</translation>
    </message>
    <message>
        <source>%1 bytes received</source>
        <comment>Counter beside the busy indicator during a download</comment>
        <translation>%1 bytes received</translation>
    </message>
    <message>
        <source>%1 is in use by %2 (process %3)</source>
        <comment>%1 is a port name such as ttyUSB0, %2 the name of the program holding it, such as cat, %3 its process number</comment>
        <translation>%1 is in use by %2 (process %3)</translation>
    </message>
    <message>
        <source>Close that program and try again.</source>
        <translation>Close that program and try again.</translation>
    </message>
    <message>
        <source>The connection to the tester was lost.</source>
        <translation>The connection to the tester was lost.</translation>
    </message>
    <message>
        <source>The records received so far may be incomplete. They are offered for saving next.</source>
        <translation>The records received so far may be incomplete. They are offered for saving next.</translation>
    </message>
    <message>
        <source>No records arrived. Check that the adapter is plugged in and the tester is switched on, then try again.</source>
        <translation>No records arrived. Check that the adapter is plugged in and the tester is switched on, then try again.</translation>
    </message>
    <message>
        <source>Earlier records are no longer shown here; they are all kept and saved to the file.</source>
        <translation>Earlier records are no longer shown here; they are all kept and saved to the file.</translation>
    </message>
</context>
</TS>
