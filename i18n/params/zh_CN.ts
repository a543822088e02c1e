<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Sidebar</name>
    <message>
        <location line="-98"/>
        <source>Activate device: %1</source>
        <translation>激活设备：%1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>No device</source>
        <translation>无设备</translation>
    </message>
    <message>
        <location filename="../../params/MotionForm.cpp" line="+70"/>
        <source>Continuously</source>
        <translation>连续发送</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&lt;&lt; Start &gt;&gt;</source>
        <translation>&lt;&lt; 开始 &gt;&gt;</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>Activated Device</source>
        <translation>激活设备</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>EStop</source>
        <translation>急停</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>Quick Move</source>
        <translation>快速运动</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Max Speed</source>
        <translation>最大速度</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>rad/s</source>
        <translation>rad/s</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>JOG Move</source>
        <translation>点动</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Motion Control</source>
        <translation>运动控制</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Control Mode</source>
        <translation>控制模式</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Zero Position</source>
        <translation>回零位</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MIT Control</source>
        <translation>MIT 控制</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Position Mode</source>
        <translation>位置模式</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Velocity Mode</source>
        <translation>速度模式</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Current Mode</source>
        <translation>电流模式</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Sin signal automated test</source>
        <translation>正弦信号自动测试</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Amplitude</source>
        <translation>幅值</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Frequency</source>
        <translation>频率</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Hz</source>
        <translation>Hz</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Return to zero position</source>
        <translation>回到零位</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Torque (nm)</source>
        <translation>力矩 (Nm)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Position (rad)</source>
        <translation>位置 (rad)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Velocity (rad/s)</source>
        <translation>速度 (rad/s)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Kp</source>
        <translation>Kp</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Kd</source>
        <translation>Kd</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Velocity Setting (rad/s)</source>
        <translation>速度设定 (rad/s)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Postion Command (rad)</source>
        <translation>位置指令 (rad)</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Current Limit (A)</source>
        <translation>电流限制 (A)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Velocity Command (rad/s)</source>
        <translation>速度指令 (rad/s)</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>&lt;&lt; Send &gt;&gt;</source>
        <translation>&lt;&lt; 发送 &gt;&gt;</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Iq Command 1 (A)</source>
        <translation>Iq 指令 1 (A)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Iq Command 2 (A)</source>
        <translation>Iq 指令 2 (A)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Id Command (A)</source>
        <translation>Id 指令 (A)</translation>
    </message>
</context>
<context>
    <name>ConfigureTools</name>
    <message>
        <source>Param Table</source>
        <translation>参数表</translation>
    </message>
    <message>
        <source>Upload Param</source>
        <translation>上传参数</translation>
    </message>
    <message>
        <source>Download Param</source>
        <translation>下载参数</translation>
    </message>
    <message>
        <source>Export Param</source>
        <translation>导出参数</translation>
    </message>
    <message>
        <source>Factory Reset</source>
        <translation>恢复出厂</translation>
    </message>
    <message>
        <source>Clear Alarm</source>
        <translation>清除报警</translation>
    </message>
    <message>
        <source>Compare Backup</source>
        <translation>对比备份</translation>
    </message>
    <message>
        <source>Apply Backup</source>
        <translation>应用备份</translation>
    </message>
    <message>
        <source>Mark every value that differs from a backup file</source>
        <translation>标记与备份文件不同的每个值</translation>
    </message>
    <message>
        <source>Write the backup&apos;s values of the marked writable entries</source>
        <translation>写入已标记的可写参数的备份值</translation>
    </message>
    <message>
        <source>Are you sure to upload parameters from %1 device? Current changes will be discarded.</source>
        <translation>确定要从设备 %1 上传参数吗？当前的修改将被丢弃。</translation>
    </message>
    <message>
        <source>Are you sure to download modified parameters to %1 device?</source>
        <translation>确定要将修改的参数下载到设备 %1 吗？</translation>
    </message>
    <message>
        <source>Are you sure to reset %1 parameters to default factory configuration?</source>
        <translation>确定要将 %1 的参数恢复为出厂配置吗？</translation>
    </message>
    <message>
        <source>Parameter backup</source>
        <translation>参数备份</translation>
    </message>
    <message>
        <source>Parameter backups(*.json)</source>
        <translation>参数备份(*.json)</translation>
    </message>
    <message>
        <source>Cannot compare with %1: %2</source>
        <translation>无法与 %1 对比：%2</translation>
    </message>
    <message>
        <source>Compare the table with a backup first.</source>
        <translation>请先将参数表与备份对比。</translation>
    </message>
    <message>
        <source>Are you sure to write the backup&apos;s values to %1 device and save them?</source>
        <translation>确定要将备份值写入设备 %1 并保存吗？</translation>
    </message>
    <message>
        <source>%1 already holds the backup&apos;s values.</source>
        <translation>%1 已经是备份中的值。</translation>
    </message>
    <message>
        <source>Please open param table of %1 first!</source>
        <translation>请先打开 %1 的参数表！</translation>
    </message>
</context>
<context>
    <name>ParamTableExporter</name>
    <message>
        <source>Exporting...</source>
        <translation>正在导出...</translation>
    </message>
    <message>
        <source>Excel file</source>
        <translation>Excel 文件</translation>
    </message>
    <message>
        <source>Excel Files(*.xlsx)</source>
        <translation>Excel 文件(*.xlsx)</translation>
    </message>
    <message>
        <source>Param table export failed: %1</source>
        <translation>参数表导出失败：%1</translation>
    </message>
    <message>
        <source>Param table export successfully!</source>
        <translation>参数表导出成功！</translation>
    </message>
    <message>
        <source>Param table has been exported, do you want to open it now?</source>
        <translation>参数表已导出，是否现在打开？</translation>
    </message>
</context>
<context>
    <name>ParamTablePage</name>
    <message>
        <source>Code</source>
        <translation>代码</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Property</source>
        <translation>属性</translation>
    </message>
    <message>
        <source>Maximum</source>
        <translation>最大值</translation>
    </message>
    <message>
        <source>Minimum</source>
        <translation>最小值</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>值</translation>
    </message>
    <message>
        <source>The parameter table now holds another description; reopen this page to edit %1.</source>
        <translation>参数表现在保存的是其他设备的描述；请重新打开本页以编辑 %1。</translation>
    </message>
    <message>
        <source>The parameter table of %1 is not loaded any more; open its Param Table again.</source>
        <translation>%1 的参数表已不再加载；请重新打开它的参数表。</translation>
    </message>
    <message>
        <source>Addr[0x%1] modified</source>
        <translation>地址[0x%1]已修改</translation>
    </message>
    <message>
        <source>Value out of range</source>
        <translation>数值超出范围</translation>
    </message>
    <message>
        <source>Please input ASCII charaters</source>
        <translation>请输入 ASCII 字符</translation>
    </message>
    <message>
        <source>%1 parameters of %2 differ from %3</source>
        <translation>%2 有 %1 个参数与 %3 不同</translation>
    </message>
    <message>
        <source>Backup: %1</source>
        <translation>备份：%1</translation>
    </message>
    <message>
        <source>The backup&apos;s values of %1 are outside what the motor accepts</source>
        <translation>%1 的备份值超出电机接受的范围</translation>
    </message>
</context>
<context>
    <name>ParamTransfer</name>
    <message>
        <source>Upload parameters from %1 stopped: no answer to %2</source>
        <translation>从 %1 上传参数已停止：%2 无应答</translation>
    </message>
    <message>
        <source>Download parameters to %1 stopped: no answer to %2</source>
        <translation>向 %1 下载参数已停止：%2 无应答</translation>
    </message>
    <message>
        <source>%1 did not confirm saving the parameters</source>
        <translation>%1 未确认保存参数</translation>
    </message>
    <message>
        <source>%1 did not confirm the factory reset</source>
        <translation>%1 未确认恢复出厂</translation>
    </message>
    <message>
        <source>%1 did not describe its parameters</source>
        <translation>%1 未描述其参数</translation>
    </message>
    <message>
        <source>Download parameters table successfully!</source>
        <translation>下载参数表成功！</translation>
    </message>
    <message>
        <source>The parameter description of %1 is incomplete (error bits 0x%2).</source>
        <translation>%1 的参数描述不完整（错误位 0x%2）。</translation>
    </message>
    <message>
        <source>It describes %1 entries of group %2, which holds %3.</source>
        <translation>它描述了第 %2 组的 %1 个参数，而该组最多容纳 %3 个。</translation>
    </message>
    <message>
        <source>Upload parameters table successfully!</source>
        <translation>上传参数表成功！</translation>
    </message>
</context>
</TS>
