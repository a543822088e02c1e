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
</TS>
