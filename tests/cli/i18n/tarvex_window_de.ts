<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_US">
<context>
    <name>WindowProbe</name>
    <message>
        <source>&amp;Read	Ctrl+R</source>
        <translation>Lesen(&amp;R)	Ctrl+R</translation>
    </message>
</context>
</TS>
