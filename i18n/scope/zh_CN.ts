<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AnalyzeTools</name>
    <message>
        <location filename="../../scope/AnalyzeTools.cpp" line="+57"/>
        <source>Oscilloscope</source>
        <translation>示波器</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Channel</source>
        <translation>通道</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Save waveform</source>
        <translation>保存波形</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Hz</source>
        <translation>Hz</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Frequency</source>
        <translation>频率</translation>
    </message>
    <message>
        <location line="+94"/>
        <source>Output waveform</source>
        <translation>输出波形</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Output waveform: %1</source>
        <translation>输出波形：%1</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Wave file</source>
        <translation>波形文件</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>TXT Files(*.txt)</source>
        <translation>文本文件(*.txt)</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>Open the oscilloscope page of a device first.</source>
        <translation>请先打开设备的示波器页面。</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>%1 Hz with %2 frames per record needs %3 frames/s; the serial link carries about %4 frames/s, so records would be lost.
Record at %5 Hz instead?</source>
        <translation>%1 Hz、每条记录 %2 帧需要 %3 帧/秒；串口链路约能传输 %4 帧/秒，记录将会丢失。
改用 %5 Hz 记录吗？</translation>
    </message>
</context>
<context>
    <name>ChannelDialog</name>
    <message>
        <location filename="../../scope/ChannelDialog.cpp" line="+29"/>
        <source>Legend</source>
        <translation>图例</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Select channel</source>
        <translation>选择通道</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>None</source>
        <translation>无</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Channel %1</source>
        <translation>通道 %1</translation>
    </message>
</context>
<context>
    <name>OscilloscopePage</name>
    <message>
        <location filename="../../scope/OscilloscopePage.cpp" line="+40"/>
        <location line="+83"/>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <location line="-82"/>
        <source>Cursors</source>
        <translation>游标</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Export</source>
        <translation>导出</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>Visible window as CSV...</source>
        <translation>可见窗口导出为 CSV...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Whole recording as CSV...</source>
        <translation>整个记录导出为 CSV...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Plot as PNG...</source>
        <translation>图形导出为 PNG...</translation>
    </message>
    <message>
        <location line="+46"/>
        <source>Follow</source>
        <translation>跟随</translation>
    </message>
    <message>
        <location line="+51"/>
        <location line="+12"/>
        <source>Lost records: %1</source>
        <translation>丢失记录：%1</translation>
    </message>
    <message>
        <location line="-11"/>
        <location line="+14"/>
        <source>Rate: %1 Hz</source>
        <translation>速率：%1 Hz</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Δt = %1 s</source>
        <translation>Δt = %1 s</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>1/Δt = %1 Hz</source>
        <translation>1/Δt = %1 Hz</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>B</source>
        <translation>B</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Min</source>
        <translation>最小值</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Max</source>
        <translation>最大值</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Mean</source>
        <translation>平均值</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Peak-peak</source>
        <translation>峰峰值</translation>
    </message>
    <message>
        <location line="+19"/>
        <location line="+17"/>
        <source>Cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Exported %1 rows to %2.</source>
        <translation>已导出 %1 行到 %2。</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Cannot export the recording to %1: %2</source>
        <translation>无法将记录导出到 %1：%2</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>No recording.</source>
        <translation>没有记录。</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Exported the recording to %1.</source>
        <translation>已将记录导出到 %1。</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Cannot write %1.</source>
        <translation>无法写入 %1。</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Saved the plot to %1.</source>
        <translation>已将图形保存到 %1。</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Export plot</source>
        <translation>导出图形</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Export samples</source>
        <translation>导出采样</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>PNG Files(*.png)</source>
        <translation>PNG 文件(*.png)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>CSV Files(*.csv)</source>
        <translation>CSV 文件(*.csv)</translation>
    </message>
</context>
<context>
    <name>ScopeRecorder</name>
    <message>
        <location filename="../../motor/ScopeRecorder.cpp" line="+39"/>
        <source>Oscilloscope of %1: recording %2 channels at %3 Hz.</source>
        <translation>%1 的示波器：以 %3 Hz 记录 %2 个通道。</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>the motor did not answer</source>
        <translation>电机没有应答</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>the motor reports other channel types than its parameter table</source>
        <translation>电机报告的通道类型与其参数表不符</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>the motor refused the sampling frequency</source>
        <translation>电机拒绝了采样频率</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>the motor refused the channel set</source>
        <translation>电机拒绝了通道设置</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>error bits 0x%1</source>
        <translation>错误位 0x%1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Oscilloscope set-up of %1 failed: %2. Nothing was recorded.</source>
        <translation>%1 的示波器设置失败：%2。未记录任何数据。</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>%1 did not confirm the oscilloscope stop within a second; gave up asking.</source>
        <translation>%1 在一秒内未确认示波器停止，已放弃请求。</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>There is no recording to export.</source>
        <translation>没有可导出的记录。</translation>
    </message>
    <message>
        <location line="+77"/>
        <source>Please open param table of %1 first!</source>
        <translation>请先打开 %1 的参数表！</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Channel %1 does not match the parameter table of %2; upload its param table again.</source>
        <translation>通道 %1 与 %2 的参数表不符，请重新上传其参数表。</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Channel %1 (%2) is not a number and cannot be recorded.</source>
        <translation>通道 %1（%2）不是数值，无法记录。</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>The oscilloscope is not available.</source>
        <translation>示波器不可用。</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The oscilloscope of %1 is still running; stop it first.</source>
        <translation>%1 的示波器仍在运行，请先停止。</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>No activated device!</source>
        <translation>没有激活的设备！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The serial port is not open.</source>
        <translation>串口未打开。</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Select at least one channel before starting the oscilloscope.</source>
        <translation>启动示波器前请至少选择一个通道。</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The sampling frequency must be at least 1 Hz.</source>
        <translation>采样频率至少为 1 Hz。</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>The oscilloscope could not be started.</source>
        <translation>无法启动示波器。</translation>
    </message>
    <message>
        <location line="+66"/>
        <source>Waveform file %1: %2. Saving stopped.</source>
        <translation>波形文件 %1：%2。已停止保存。</translation>
    </message>
</context>
<context>
    <name>waveDisplay</name>
    <message>
        <location filename="../../scope/waveDisplay.cpp" line="+26"/>
        <location line="+68"/>
        <source>Channel %1</source>
        <translation>通道 %1</translation>
    </message>
</context>
</TS>
