<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>MainWindow</name>
    <message>
        <source>&amp;Download</source>
        <translation>Fetch records</translation>
    </message>
</context>
<context>
    <name>LanguageProbe</name>
    <message>
        <source>Which catalogue answers?</source>
        <translation>application en</translation>
    </message>
</context>
</TS>
