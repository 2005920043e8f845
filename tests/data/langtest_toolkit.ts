<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>LanguageProbe</name>
    <message>
        <source>Which catalogue answers?</source>
        <translation>toolkit</translation>
    </message>
    <message>
        <source>Toolkit only</source>
        <translation>toolkit text</translation>
    </message>
</context>
</TS>
