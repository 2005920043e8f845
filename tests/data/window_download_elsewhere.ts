<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>DialogLanguage</name>
    <message>
        <source>&amp;Download</source>
        <translation>Abholen</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Please select a port and connect your device</source>
        <translation>Bitte einen Anschluss wählen und das Gerät verbinden</translation>
    </message>
</context>
</TS>
