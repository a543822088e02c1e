<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>CaptionButton</name>
    <message>
        <source>Minimize</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Maximize</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restore</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Editor</name>
    <message>
        <source>Device Info</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Param Table</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please open param table of %1 first!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Oscilloscope</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Instruction</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not available in this build.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HelpTools</name>
    <message>
        <source>Instruction</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version %1

Built on 2023.07.18</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Helper</name>
    <message>
        <source>No activated device!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Notice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Warning</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LeftTitle</name>
    <message>
        <source>File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configure</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Analyze</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save as</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Import</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Import Project</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export Project</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New Project</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Project</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save Project</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save as Project</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save to %1 successfully!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save to %1 Failed!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>The device tree is not part of this build.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The motion control panel is not part of this build.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Panel</name>
    <message>
        <source>Log</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Communication</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hide the panel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>yyyy/MM/dd hh:mm:ss</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>log</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>communication</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export %1 file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot write to %1!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RightTitle</name>
    <message>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show pannel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show left sidebar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show right sidebar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auto connect COM</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enable multiple devices</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload param table on connected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove all device on disconnected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Activate selected device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auto increase desired CAN ID</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TitleWidget</name>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ToolWidget</name>
    <message>
        <source>EStop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No tools available in this build.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
