<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>MainWindow</name>
    <message>
        <source>&amp;Download</source>
        <translation>Herunter&amp;laden</translation>
    </message>
</context>
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
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
</TS>
