<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CANWorker</name>
    <message>
        <source>Serial port %1 is already connected.</source>
        <translation>串口 %1 已经连接。</translation>
    </message>
    <message>
        <source>Detecting devices at serial port %1</source>
        <translation>正在串口 %1 上检测设备</translation>
    </message>
    <message>
        <source>Serial port error: %1!</source>
        <translation>串口错误：%1！</translation>
    </message>
    <message>
        <source>Detected device: [MCU ID: 0x%1, CAN ID: %2]</source>
        <translation>检测到设备：[MCU ID: 0x%1, CAN ID: %2]</translation>
    </message>
    <message>
        <source>Connect overtime, try baud rate：%1</source>
        <translation>连接超时，尝试波特率：%1</translation>
    </message>
    <message>
        <source>CAN bus connected.</source>
        <translation>CAN 总线已连接。</translation>
    </message>
    <message>
        <source>CAN bus configuration failed, please check physical device!</source>
        <translation>CAN 总线配置失败，请检查物理设备！</translation>
    </message>
    <message>
        <source>CAN bus configuration success!</source>
        <translation>CAN 总线配置成功！</translation>
    </message>
    <message>
        <source>Set %1 mode successfully!</source>
        <translation>设置 %1 模式成功！</translation>
    </message>
    <message>
        <source>Set %1 mode failed!</source>
        <translation>设置 %1 模式失败！</translation>
    </message>
    <message>
        <source>Set the mechanical zero successfully!</source>
        <translation>设置机械零点成功！</translation>
    </message>
    <message>
        <source>&lt;Encoder calibrating&gt; Rotor angle = %1, Stator flux angle = %2, Sensor value = %3</source>
        <translation>&lt;编码器标定中&gt; 转子角度 = %1，定子磁链角度 = %2，传感器数值 = %3</translation>
    </message>
    <message>
        <source>&lt;Encoder calibration result&gt; Device: %1, Number: %2, Index: %3, Correction: %4</source>
        <translation>&lt;编码器标定结果&gt; 设备：%1，编号：%2，索引：%3，修正值：%4</translation>
    </message>
    <message>
        <source>&lt;Encoder calibration finish&gt; Device: %1, Encoder Electrical Offset: %2</source>
        <translation>&lt;编码器标定完成&gt; 设备：%1，编码器电角度偏置：%2</translation>
    </message>
    <message>
        <source>Device %1 encoder calibration finish.
Encoder Electrical Offset: %2</source>
        <translation>设备 %1 编码器标定完成。
编码器电角度偏置：%2</translation>
    </message>
    <message>
        <source>Reload all parameters table successfully!</source>
        <translation>重新加载全部参数表成功！</translation>
    </message>
    <message>
        <source>Param saved successfully!</source>
        <translation>参数保存成功！</translation>
    </message>
    <message>
        <source>Too many devices detected!</source>
        <translation>检测到的设备过多！</translation>
    </message>
    <message>
        <source>Multiple devices connection is forbidden.</source>
        <translation>不允许连接多个设备。</translation>
    </message>
    <message>
        <source>R58 Motor %1</source>
        <translation>R58 电机 %1</translation>
    </message>
    <message>
        <source>Send R58 Command %1 to CAN(%2)</source>
        <translation>向 CAN(%2) 发送 R58 指令 %1</translation>
    </message>
    <message>
        <source>Send R58 Command %1 to CAN(%3): %2</source>
        <translation>向 CAN(%3) 发送 R58 指令 %1：%2</translation>
    </message>
</context>
<context>
    <name>CaptionButton</name>
    <message>
        <source>Minimize</source>
        <translation>最小化</translation>
    </message>
    <message>
        <source>Maximize</source>
        <translation>最大化</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>还原</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>Editor</name>
    <message>
        <source>Device Info</source>
        <translation>设备信息</translation>
    </message>
    <message>
        <source>Param Table</source>
        <translation>参数表</translation>
    </message>
    <message>
        <source>Please open param table of %1 first!</source>
        <translation>请先打开 %1 的参数表！</translation>
    </message>
    <message>
        <source>Oscilloscope</source>
        <translation>示波器</translation>
    </message>
    <message>
        <source>Instruction</source>
        <translation>使用说明</translation>
    </message>
    <message>
        <source>%1 is not available in this build.</source>
        <translation>此版本不包含“%1”。</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
    <message>
        <source>Connect the adapter and activate a device to open its pages here.</source>
        <translation>连接适配器并激活一个设备后，它的页面会在这里打开。</translation>
    </message>
    <message>
        <source>The user manual is under Help &gt; Instruction.</source>
        <translation>使用说明见 帮助 &gt; 使用说明。</translation>
    </message>
</context>
<context>
    <name>HelpTools</name>
    <message>
        <source>Instruction</source>
        <translation>使用说明</translation>
    </message>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>关于 %1</translation>
    </message>
    <message>
        <source>Version %1

Built on 2023.07.18</source>
        <translation>版本 %1

构建于 2023.07.18</translation>
    </message>
</context>
<context>
    <name>Helper</name>
    <message>
        <source>No activated device!</source>
        <translation>没有已激活的设备！</translation>
    </message>
    <message>
        <source>%1 Error</source>
        <translation>%1 错误</translation>
    </message>
    <message>
        <source>%1 Information</source>
        <translation>%1 信息</translation>
    </message>
    <message>
        <source>%1 Notice</source>
        <translation>%1 提示</translation>
    </message>
    <message>
        <source>%1 Warning</source>
        <translation>%1 警告</translation>
    </message>
</context>
<context>
    <name>LeftTitle</name>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>Configure</source>
        <translation>配置</translation>
    </message>
    <message>
        <source>Analyze</source>
        <translation>分析</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>New</source>
        <translation>新建</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Save as</source>
        <translation>另存为</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>导入</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Import Project</source>
        <translation>导入工程</translation>
    </message>
    <message>
        <source>Export Project</source>
        <translation>导出工程</translation>
    </message>
    <message>
        <source>New Project</source>
        <translation>新建工程</translation>
    </message>
    <message>
        <source>Open Project</source>
        <translation>打开工程</translation>
    </message>
    <message>
        <source>Save Project</source>
        <translation>保存工程</translation>
    </message>
    <message>
        <source>Save as Project</source>
        <translation>工程另存为</translation>
    </message>
    <message>
        <source>Save to %1 successfully!</source>
        <translation>已成功保存到 %1！</translation>
    </message>
    <message>
        <source>Save to %1 Failed!</source>
        <translation>保存到 %1 失败！</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
</context>
<context>
    <name>Panel</name>
    <message>
        <source>Log</source>
        <translation>日志</translation>
    </message>
    <message>
        <source>Communication</source>
        <translation>通信</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清空</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>Hide the panel</source>
        <translation>隐藏面板</translation>
    </message>
    <message>
        <source>yyyy/MM/dd hh:mm:ss</source>
        <translation>yyyy/MM/dd hh:mm:ss</translation>
    </message>
    <message>
        <source>log</source>
        <translation>日志</translation>
    </message>
    <message>
        <source>communication</source>
        <translation>通信</translation>
    </message>
    <message>
        <source>Export %1 file</source>
        <translation>导出%1文件</translation>
    </message>
    <message>
        <source>Cannot write to %1!</source>
        <translation>无法写入 %1！</translation>
    </message>
</context>
<context>
    <name>RightTitle</name>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Show pannel</source>
        <translation>显示面板</translation>
    </message>
    <message>
        <source>Show left sidebar</source>
        <translation>显示左侧边栏</translation>
    </message>
    <message>
        <source>Show right sidebar</source>
        <translation>显示右侧边栏</translation>
    </message>
    <message>
        <source>Auto connect COM</source>
        <translation>自动连接串口</translation>
    </message>
    <message>
        <source>Enable multiple devices</source>
        <translation>允许多个设备</translation>
    </message>
    <message>
        <source>Upload param table on connected</source>
        <translation>连接后读取参数表</translation>
    </message>
    <message>
        <source>Remove all device on disconnected</source>
        <translation>断开时移除全部设备</translation>
    </message>
    <message>
        <source>Activate selected device</source>
        <translation>激活选中的设备</translation>
    </message>
    <message>
        <source>Auto increase desired CAN ID</source>
        <translation>自动递增目标 CAN ID</translation>
    </message>
</context>
<context>
    <name>TitleWidget</name>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>ToolWidget</name>
    <message>
        <source>EStop</source>
        <translation>急停</translation>
    </message>
</context>
</TS>