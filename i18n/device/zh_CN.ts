<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CalibrationRunner</name>
    <message>
        <location filename="../../device/CalibrationRunner.cpp" line="42"/>
        <source>The motor will rotate during calibration, are you sure to continue?</source>
        <translation>校准过程中电机会转动，确定继续吗？</translation>
    </message>
    <message>
        <location filename="../../device/CalibrationRunner.cpp" line="64"/>
        <source>Preparing calibration...</source>
        <translation>正在准备校准...</translation>
    </message>
    <message>
        <location filename="../../device/CalibrationRunner.cpp" line="68"/>
        <location filename="../../device/CalibrationRunner.cpp" line="90"/>
        <source>Calibration failed!</source>
        <translation>校准失败！</translation>
    </message>
    <message>
        <location filename="../../device/CalibrationRunner.cpp" line="82"/>
        <source>Calibrating encoder...</source>
        <translation>正在校准编码器...</translation>
    </message>
    <message>
        <location filename="../../device/CalibrationRunner.cpp" line="85"/>
        <source>Saving calibration result...</source>
        <translation>正在保存校准结果...</translation>
    </message>
</context>
<context>
    <name>CanIdChange</name>
    <message>
        <location filename="../../motor/CanIdChange.cpp" line="46"/>
        <source>Device %1 CAN ID set successfully!</source>
        <translation>设备 %1 CAN ID 设置成功！</translation>
    </message>
    <message>
        <location filename="../../motor/CanIdChange.cpp" line="47"/>
        <source>Device %1 CAN ID set failed!</source>
        <translation>设备 %1 CAN ID 设置失败！</translation>
    </message>
</context>
<context>
    <name>DetectDeviceDialog</name>
    <message>
        <location filename="../../device/DetectDeviceDialog.cpp" line="41"/>
        <source>USB-CAN adapters and the ports listed in SERVOBENCH_PORTS. With the servobench package installed, the first adapter is also /dev/servobench-adapter0 (udev rule 70-servobench.rules), whatever ttyUSB number it gets.</source>
        <translation>USB-CAN 适配器以及 SERVOBENCH_PORTS 中列出的端口。安装 servobench 软件包后，第一个适配器还可以通过 /dev/servobench-adapter0 访问（udev 规则 70-servobench.rules），与其 ttyUSB 编号无关。</translation>
    </message>
    <message>
        <location filename="../../device/DetectDeviceDialog.cpp" line="20"/>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <location filename="../../device/DetectDeviceDialog.cpp" line="21"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../../device/DetectDeviceDialog.cpp" line="24"/>
        <source>Detect Devices</source>
        <translation>检测设备</translation>
    </message>
    <message>
        <location filename="../../device/DetectDeviceDialog.cpp" line="33"/>
        <source>&lt;h2&gt;Devices Connection&lt;/h2&gt;</source>
        <translation>&lt;h2&gt;设备连接&lt;/h2&gt;</translation>
    </message>
    <message>
        <location filename="../../device/DetectDeviceDialog.cpp" line="35"/>
        <source>CAN (Serial Port)</source>
        <translation>CAN（串口）</translation>
    </message>
    <message>
        <location filename="../../device/DetectDeviceDialog.cpp" line="35"/>
        <source>EtherCAT</source>
        <translation>EtherCAT</translation>
    </message>
    <message>
        <location filename="../../device/DetectDeviceDialog.cpp" line="40"/>
        <source>/dev/ttyUSB0</source>
        <translation>/dev/ttyUSB0</translation>
    </message>
    <message>
        <location filename="../../device/DetectDeviceDialog.cpp" line="42"/>
        <source>Refresh</source>
        <translation>刷新</translation>
    </message>
    <message>
        <location filename="../../device/DetectDeviceDialog.cpp" line="49"/>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Click &lt;a href=&quot;driver&quot;&gt;&lt;span style=&quot; text-decoration: underline; color:#007af4;&quot;&gt;here&lt;/span&gt;&lt;/a&gt; to install driver.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;点击&lt;a href=&quot;driver&quot;&gt;&lt;span style=&quot; text-decoration: underline; color:#007af4;&quot;&gt;这里&lt;/span&gt;&lt;/a&gt;安装驱动。&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <location filename="../../device/DetectDeviceDialog.cpp" line="54"/>
        <source>Bus Type</source>
        <translation>总线类型</translation>
    </message>
    <message>
        <location filename="../../device/DetectDeviceDialog.cpp" line="56"/>
        <source>Connection</source>
        <translation>连接方式</translation>
    </message>
    <message>
        <location filename="../../device/DetectDeviceDialog.cpp" line="101"/>
        <source>Adapter driver</source>
        <translation>适配器驱动</translation>
    </message>
    <message>
        <location filename="../../device/DetectDeviceDialog.cpp" line="106"/>
        <source>&lt;p&gt;No driver needs to be installed: the kernel&apos;s &lt;b&gt;ch341&lt;/b&gt; module drives the adapter, which appears as &lt;tt&gt;/dev/ttyUSB0&lt;/tt&gt; (or a higher number).&lt;/p&gt;&lt;p&gt;If the port is missing or cannot be opened:&lt;/p&gt;&lt;ul&gt;&lt;li&gt;Your user may not be allowed to open serial ports. The servobench package installs a udev rule (&lt;tt&gt;70-servobench.rules&lt;/tt&gt;) that lets the logged-in user open the adapter and names it &lt;tt&gt;/dev/servobench-adapter0&lt;/tt&gt;; replug the adapter after installing the package. Without the package, run &lt;tt&gt;sudo usermod -aG dialout $USER&lt;/tt&gt;, then log out and in again.&lt;/li&gt;&lt;li&gt;ModemManager may probe and hold the adapter (the package&apos;s udev rule tells it to leave the adapter alone). Run &lt;tt&gt;sudo systemctl stop ModemManager&lt;/tt&gt; (or &lt;tt&gt;disable&lt;/tt&gt; it).&lt;/li&gt;&lt;li&gt;brltty may claim the adapter as a braille display. Run &lt;tt&gt;sudo apt remove brltty&lt;/tt&gt;.&lt;/li&gt;&lt;/ul&gt;&lt;p&gt;Replug the adapter, check with &lt;tt&gt;ls -l /dev/ttyUSB*&lt;/tt&gt; and &lt;tt&gt;dmesg | tail&lt;/tt&gt;, then press refresh. A port that is not listed can be typed into the Connection box.&lt;/p&gt;</source>
        <translation>&lt;p&gt;无需安装驱动：内核的 &lt;b&gt;ch341&lt;/b&gt; 模块驱动该适配器，它显示为 &lt;tt&gt;/dev/ttyUSB0&lt;/tt&gt;（或更大的编号）。&lt;/p&gt;&lt;p&gt;如果找不到端口或无法打开：&lt;/p&gt;&lt;ul&gt;&lt;li&gt;当前用户可能没有打开串口的权限。servobench 软件包会安装一条 udev 规则（&lt;tt&gt;70-servobench.rules&lt;/tt&gt;），让已登录的用户可以打开适配器，并将其命名为 &lt;tt&gt;/dev/servobench-adapter0&lt;/tt&gt;；安装软件包后请重新插拔适配器。未安装软件包时，运行 &lt;tt&gt;sudo usermod -aG dialout $USER&lt;/tt&gt;，然后注销并重新登录。&lt;/li&gt;&lt;li&gt;ModemManager 可能在探测并占用适配器（软件包的 udev 规则会让它忽略该适配器）。运行 &lt;tt&gt;sudo systemctl stop ModemManager&lt;/tt&gt;（或 &lt;tt&gt;disable&lt;/tt&gt; 它）。&lt;/li&gt;&lt;li&gt;brltty 可能把适配器当作盲文显示器占用。运行 &lt;tt&gt;sudo apt remove brltty&lt;/tt&gt;。&lt;/li&gt;&lt;/ul&gt;&lt;p&gt;重新插拔适配器，用 &lt;tt&gt;ls -l /dev/ttyUSB*&lt;/tt&gt; 和 &lt;tt&gt;dmesg | tail&lt;/tt&gt; 检查，然后点击刷新。未列出的端口可以直接输入到连接框中。&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>DeviceInfoPage</name>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="65"/>
        <source>Change</source>
        <translation>修改</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="99"/>
        <source>&lt;h2&gt;Device&lt;/h2&gt;</source>
        <translation>&lt;h2&gt;设备&lt;/h2&gt;</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="102"/>
        <source>&lt;h4&gt;Device Name&lt;/h4&gt;</source>
        <translation>&lt;h4&gt;设备名称&lt;/h4&gt;</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="106"/>
        <source>CAN - Serial Port</source>
        <translation>CAN - 串口</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="108"/>
        <source>&lt;h4&gt;Device Connection&lt;/h4&gt;</source>
        <translation>&lt;h4&gt;设备连接&lt;/h4&gt;</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="114"/>
        <source>MCU ID</source>
        <translation>MCU ID</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="125"/>
        <source>CAN ID</source>
        <translation>CAN ID</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="137"/>
        <source>&lt;h2&gt;Product&lt;/h2&gt;</source>
        <translation>&lt;h2&gt;产品&lt;/h2&gt;</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="138"/>
        <source>&lt;h4&gt;Proeduct Name&lt;/h4&gt;</source>
        <translation>&lt;h4&gt;产品名称&lt;/h4&gt;</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="139"/>
        <source>Torqlet</source>
        <translation>Torqlet</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="140"/>
        <source>&lt;h4&gt;Product Color&lt;/h4&gt;</source>
        <translation>&lt;h4&gt;产品颜色&lt;/h4&gt;</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="141"/>
        <source>Black</source>
        <translation>黑色</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="142"/>
        <source>&lt;h4&gt;Product Image&lt;/h4&gt;</source>
        <translation>&lt;h4&gt;产品图片&lt;/h4&gt;</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="144"/>
        <source>&lt;h4&gt;T-N Feature&lt;/h4&gt;</source>
        <translation>&lt;h4&gt;T-N 特性&lt;/h4&gt;</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="146"/>
        <source>&lt;h4&gt;Max Load Feature&lt;/h4&gt;</source>
        <translation>&lt;h4&gt;最大负载特性&lt;/h4&gt;</translation>
    </message>
    <message>
        <location filename="../../device/DeviceInfoPage.cpp" line="172"/>
        <source>Device %1 CAN ID set failed!</source>
        <translation>设备 %1 CAN ID 设置失败！</translation>
    </message>
</context>
<context>
    <name>DeviceTools</name>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="34"/>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="36"/>
        <source>Disconnect</source>
        <translation>断开</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="37"/>
        <source>Device Info</source>
        <translation>设备信息</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="39"/>
        <source>Encoder Calibration</source>
        <translation>编码器校准</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="42"/>
        <location filename="../../device/DeviceTools.cpp" line="46"/>
        <source>√</source>
        <translation>√</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="43"/>
        <source>Rest Zero Postion</source>
        <translation>设置零位</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="47"/>
        <source>Update</source>
        <translation>固件升级</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="54"/>
        <location filename="../../device/DeviceTools.cpp" line="60"/>
        <source>Change CAN ID</source>
        <translation>修改 CAN ID</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="65"/>
        <source>Motor initialization</source>
        <translation>电机初始化</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="68"/>
        <source>Right Front 1</source>
        <translation>右前 1</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="68"/>
        <source>Right Behind 1</source>
        <translation>右后 1</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="68"/>
        <source>Left Front 1</source>
        <translation>左前 1</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="68"/>
        <source>Left Behind  1</source>
        <translation>左后 1</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="69"/>
        <source>Right Front 2</source>
        <translation>右前 2</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="69"/>
        <source>Right Behind 2</source>
        <translation>右后 2</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="69"/>
        <source>Left Front 2</source>
        <translation>左前 2</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="69"/>
        <source>Left Behind 2</source>
        <translation>左后 2</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="69"/>
        <source>No. 3</source>
        <translation>3 号</translation>
    </message>
    <message>
        <location filename="../../device/DeviceTools.cpp" line="128"/>
        <source>Are you sure to disconnect?</source>
        <translation>确定断开连接吗？</translation>
    </message>
</context>
<context>
    <name>DeviceWidget</name>
    <message>
        <location filename="../../device/DeviceWidget.cpp" line="41"/>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <location filename="../../device/DeviceWidget.cpp" line="41"/>
        <source>Value</source>
        <translation>值</translation>
    </message>
    <message>
        <location filename="../../device/DeviceWidget.cpp" line="84"/>
        <source>R58 Motor %1</source>
        <translation>R58 电机 %1</translation>
    </message>
    <message>
        <location filename="../../device/DeviceWidget.cpp" line="88"/>
        <source>Info</source>
        <translation>信息</translation>
    </message>
    <message>
        <location filename="../../device/DeviceWidget.cpp" line="89"/>
        <source>Manufactory</source>
        <translation>制造商</translation>
    </message>
    <message>
        <location filename="../../device/DeviceWidget.cpp" line="89"/>
        <source>Orvanta</source>
        <translation>Orvanta</translation>
    </message>
    <message>
        <location filename="../../device/DeviceWidget.cpp" line="90"/>
        <source>MCU ID</source>
        <translation>MCU ID</translation>
    </message>
    <message>
        <location filename="../../device/DeviceWidget.cpp" line="91"/>
        <source>CAN ID</source>
        <translation>CAN ID</translation>
    </message>
    <message>
        <location filename="../../device/DeviceWidget.cpp" line="92"/>
        <source>Param</source>
        <translation>参数</translation>
    </message>
    <message>
        <location filename="../../device/DeviceWidget.cpp" line="166"/>
        <source>Connected</source>
        <translation>已连接</translation>
    </message>
    <message>
        <location filename="../../device/DeviceWidget.cpp" line="166"/>
        <source>Disconnected</source>
        <translation>未连接</translation>
    </message>
</context>
<context>
    <name>FirmwareUpdate</name>
    <message>
        <location filename="../../motor/FirmwareUpdate.cpp" line="39"/>
        <location filename="../../motor/FirmwareUpdate.cpp" line="46"/>
        <source>No activated device!</source>
        <translation>没有激活的设备！</translation>
    </message>
    <message>
        <location filename="../../motor/FirmwareUpdate.cpp" line="43"/>
        <source>Erasing flash...</source>
        <translation>正在擦除闪存...</translation>
    </message>
    <message>
        <location filename="../../motor/FirmwareUpdate.cpp" line="56"/>
        <location filename="../../motor/FirmwareUpdate.cpp" line="73"/>
        <source>Sending file... %1%</source>
        <translation>正在发送文件... %1%</translation>
    </message>
    <message>
        <location filename="../../motor/FirmwareUpdate.cpp" line="69"/>
        <source>Enter update mode overtime!</source>
        <translation>进入升级模式超时！</translation>
    </message>
    <message>
        <location filename="../../motor/FirmwareUpdate.cpp" line="70"/>
        <source>Erasing flash failed!</source>
        <translation>擦除闪存失败！</translation>
    </message>
    <message>
        <location filename="../../motor/FirmwareUpdate.cpp" line="96"/>
        <source>Update timeout!</source>
        <translation>升级超时！</translation>
    </message>
    <message>
        <location filename="../../motor/FirmwareUpdate.cpp" line="114"/>
        <source>Update successfully!</source>
        <translation>升级成功！</translation>
    </message>
    <message>
        <location filename="../../motor/FirmwareUpdate.cpp" line="117"/>
        <source>File contains no data!</source>
        <translation>文件没有数据！</translation>
    </message>
    <message>
        <location filename="../../motor/FirmwareUpdate.cpp" line="120"/>
        <source>File size over 512KB!</source>
        <translation>文件大小超过 512KB！</translation>
    </message>
    <message>
        <location filename="../../motor/FirmwareUpdate.cpp" line="123"/>
        <source>Sending file info failed!</source>
        <translation>发送文件信息失败！</translation>
    </message>
    <message>
        <location filename="../../motor/FirmwareUpdate.cpp" line="126"/>
        <source>Update failed!</source>
        <translation>升级失败！</translation>
    </message>
</context>
<context>
    <name>FirmwareUpdateRunner</name>
    <message>
        <location filename="../../device/FirmwareUpdateRunner.cpp" line="35"/>
        <source>Open Binary File</source>
        <translation>打开二进制文件</translation>
    </message>
    <message>
        <location filename="../../device/FirmwareUpdateRunner.cpp" line="35"/>
        <source>Binary File(*.bin *.hex)</source>
        <translation>二进制文件(*.bin *.hex)</translation>
    </message>
    <message>
        <location filename="../../device/FirmwareUpdateRunner.cpp" line="38"/>
        <source>Are you sure to update? This may take a while.</source>
        <translation>确定升级吗？这可能需要一些时间。</translation>
    </message>
</context>
</TS>
