<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>MainWindow</name>
    <message>
        <source>Corvane Velmora

 %1
</source>
        <comment>The %1 is replaced with the version number so please don&apos;t remove it!</comment>
        <translation>Corvane Velmora

 Version %1
</translation>
    </message>
    <message>
        <source>About Corvane Velmora</source>
        <comment>Title of the About box</comment>
        <translation>Über Corvane Velmora</translation>
    </message>
    <message>
        <source>Corvane Velmora

 %1
</source>
        <translation>Ohne Kommentar %1</translation>
    </message>
    <message>
        <source>About Corvane Velmora</source>
        <translation>Ohne Kommentar</translation>
    </message>
</context>
</TS>
