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
        <source>&amp;Download</source>
        <translation>Herunterladen</translation>
    </message>
</context>
<context>
    <name>LanguageProbe</name>
    <message>
        <source>Which catalogue answers?</source>
        <translation>application de</translation>
    </message>
</context>
</TS>
