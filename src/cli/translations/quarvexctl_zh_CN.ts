<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Cli</name>
    <message>
        <location filename="../invocation.cpp" line="21"/>
        <source>one of %1</source>
        <translation>%1 中的一档</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="31"/>
        <source>the bus address</source>
        <translation>从机地址</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="33"/>
        <source>SPEED</source>
        <translation>速度</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="35"/>
        <source>HZ</source>
        <translation>PWM频率</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="37"/>
        <source>the line speed</source>
        <translation>波特率</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="104"/>
        <source>scan, commission: at each of the nine line speeds</source>
        <translation>scan、commission：在九档波特率下逐一进行</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="108"/>
        <source>apply: read only, and tell what would change</source>
        <translation>apply：只读取，说明将改动什么</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="200"/>
        <source>%1 must be %2, not &quot;%3&quot;</source>
        <translation>%1应为%2，而不是“%3”</translation>
    </message>
    <message>
        <location filename="../helptext.cpp" line="65"/>
        <source>Finds, reads, drives and commissions a Quarvex motor driver module over RS-485.</source>
        <translation>通过 RS-485 查找、读取、驱动和调试 Quarvex 电机驱动模块。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="77"/>
        <source>one of the nine line speeds (default 9600)</source>
        <translation>九档波特率之一（默认 9600）</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="68"/>
        <source>port name (ttyUSB0) or path (/dev/ttyUSB0, /dev/serial/by-id/..., a pty), or across the network tcp://HOST:PORT (RTU over TCP), rfc2217://HOST:PORT (line speed set through the server), modbus-tcp://HOST[:PORT] (a gateway); also $QUARVEX_PORT. scan takes several: repeated or comma-separated</source>
        <translation>串口名（ttyUSB0）或路径（/dev/ttyUSB0、/dev/serial/by-id/…、伪终端），或经网络：tcp://主机:端口（RTU over TCP）、rfc2217://主机:端口（经服务器设置波特率）、modbus-tcp://主机[:端口]（网关）；也可用 $QUARVEX_PORT。scan 可接多个端口：重复 -p 或以逗号分隔</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="63"/>
        <source>port name (COM3), or across the network tcp://HOST:PORT (RTU over TCP), rfc2217://HOST:PORT (line speed set through the server), modbus-tcp://HOST[:PORT] (a gateway); also %QUARVEX_PORT%. scan takes several: repeated or comma-separated</source>
        <translation>串口名（COM3），或经网络：tcp://主机:端口（RTU over TCP）、rfc2217://主机:端口（经服务器设置波特率）、modbus-tcp://主机[:端口]（网关）；也可用 %QUARVEX_PORT%。scan 可接多个端口：重复 -p 或以逗号分隔</translation>
    </message>
    <message>
        <location filename="../exitstatus.h" line="54"/>
        <source>stopped by Ctrl+Break, likewise</source>
        <translation>被 Ctrl+Break 停止，同上</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="79"/>
        <source>the module&apos;s bus address, 1-254; when absent, the module is asked first</source>
        <translation>模块的从机地址，1-254；未给出时先向模块查询</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="82"/>
        <source>how long the module may take to begin its reply (default %1); the rest of a reply is waited for by its length at the line speed. find and scan probe with %2 and ask again with %1 when a reply comes late</source>
        <translation>模块开始应答前最多可用的毫秒数（默认 %1）；应答开始后，按其长度和波特率等待其余部分。find 和 scan 以 %2 探测，应答来迟时以 %1 重新询问</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="87"/>
        <source>further tries after no reply or a damaged one, once the line is quiet (default 1; find and scan: damaged replies only)</source>
        <translation>无应答或应答损坏后、总线安静下来再重试的次数（默认 1；find 和 scan：只重试损坏的应答）</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="90"/>
        <source>results as JSON on stdout (JSON Lines for watch); a failure as {&quot;error&quot;: {&quot;status&quot;: N, &quot;message&quot;: &quot;...&quot;}}</source>
        <translation>在标准输出上以 JSON 给出结果（watch 为 JSON Lines）；失败时为 {&quot;error&quot;: {&quot;status&quot;: N, &quot;message&quot;: &quot;...&quot;}}</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="93"/>
        <source>watch: CSV on stdout, a header row first, the summary on stderr</source>
        <translation>watch：在标准输出上给出 CSV，首行为表头，汇总在标准错误上</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="96"/>
        <source>every frame on stderr: time, direction, hex, round trip in ms</source>
        <translation>在标准错误上显示每一帧：时间、方向、十六进制、往返毫秒数</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="98"/>
        <source>watch: time between polls (default 1000)</source>
        <translation>watch：两次轮询的间隔，毫秒（默认 1000）</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="100"/>
        <source>watch: stop after N polls (default: until Ctrl+C)</source>
        <translation>watch：轮询 N 次后停止（默认：直到 Ctrl+C）</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="101"/>
        <source>scan: first bus address (default 1)</source>
        <translation>scan：起始从机地址（默认 1）</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="102"/>
        <source>scan: last bus address (default 254)</source>
        <translation>scan：结束从机地址（默认 254）</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="106"/>
        <source>set-address: skip the check for several modules on the line</source>
        <translation>set-address：跳过总线上多个模块的检查</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="109"/>
        <source>this help; COMMAND --help for one command</source>
        <translation>本帮助；COMMAND --help 显示单个命令的帮助</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="110"/>
        <source>the version</source>
        <translation>版本</translation>
    </message>
    <message>
        <location filename="../commandtable.cpp" line="110"/>
        <source>the serial ports, a header row first: name, description, maker, serial number, /dev/serial/by-id link</source>
        <translation>串口列表，首行为表头：名称、描述、厂商、序列号、/dev/serial/by-id 链接</translation>
    </message>
    <message>
        <location filename="../commandtable.cpp" line="114"/>
        <source>try the nine line speeds, likeliest first, on --port or on every listed port; report port, line speed and bus address. A reply that may have come late is asked for again with a longer wait</source>
        <translation>在 --port（未给出时在列出的每个串口）上按可能性从高到低尝试九档波特率；报告串口、波特率和从机地址。可能来迟的应答会以更长的等待重新询问</translation>
    </message>
    <message>
        <location filename="../commandtable.cpp" line="119"/>
        <source>the module&apos;s bus address; with -a, whether a module answers at that address</source>
        <translation>模块的从机地址；带 -a 时，报告该地址上是否有模块应答</translation>
    </message>
    <message>
        <location filename="../commandtable.cpp" line="123"/>
        <source>all parameters and both alarm flags, decoded; the stored line speed beside the link&apos;s</source>
        <translation>解码后的全部参数和两个报警标志；已保存的波特率与链路当前波特率并列显示</translation>
    </message>
    <message>
        <location filename="../commandtable.cpp" line="128"/>
        <source>ACTION is forward SPEED or reverse SPEED (0-100), stop, brake (engage), release (the brake) or frequency HZ (PWM, 1000-10000). Nothing is sent while the motor&apos;s over-current alarm stands: the module would ignore it (exit status 6)</source>
        <translation>ACTION 为 forward SPEED 或 reverse SPEED（0-100）、stop、brake（刹车）、release（松开刹车）或 frequency HZ（PWM，1000-10000）。电机过流报警未清除时不发送：模块会忽略该命令（退出状态 6）</translation>
    </message>
    <message>
        <location filename="../commandtable.cpp" line="134"/>
        <source>clear a motor&apos;s over-current alarm; its parameters return to their power-up values. Says so when no alarm stood</source>
        <translation>清除电机的过流报警；其参数恢复为上电值。没有报警时会如实说明</translation>
    </message>
    <message>
        <location filename="../commandtable.cpp" line="138"/>
        <source>give the module bus address N, 1-254, and read it back. With -a, only if the module answering is at that address</source>
        <translation>把模块的从机地址设为 N（1-254）并读回。带 -a 时，仅当应答的模块在该地址上才修改</translation>
    </message>
    <message>
        <location filename="../commandtable.cpp" line="143"/>
        <source>store line speed N (one of the nine); it takes effect when the module restarts</source>
        <translation>保存波特率 N（九档之一）；模块重启后生效</translation>
    </message>
    <message>
        <location filename="../commandtable.cpp" line="148"/>
        <source>poll all parameters: one record a poll, answered or not, with its time (ISO 8601, ms); a summary at the end or on Ctrl+C</source>
        <translation>轮询全部参数：每次轮询一条记录，无论是否应答，带时间（ISO 8601，毫秒）；结束或按 Ctrl+C 时给出汇总</translation>
    </message>
    <message>
        <location filename="../commandtable.cpp" line="152"/>
        <source>any frame (blanks allowed); the CRC is appended, the reply printed. A Modbus frame to address 0 is a broadcast: sent once, no reply expected</source>
        <translation>任意帧（可含空格）；自动附加 CRC，打印应答。发往地址 0 的 Modbus 帧是广播：只发送一次，不等待应答</translation>
    </message>
    <message>
        <location filename="../commandtable.cpp" line="157"/>
        <source>probe every bus address; list the modules that answer and the addresses whose replies were damaged. Ctrl+C lists what was found so far</source>
        <translation>探测每个从机地址；列出应答的模块和应答损坏的地址。按 Ctrl+C 时列出目前已找到的结果</translation>
    </message>
    <message>
        <location filename="../commandtable.cpp" line="163"/>
        <source>one module at a time on the bench line: set each to the next row of the plan (CSV: address, line_speed, pwm1, pwm2, label) without a result, read it back, record it in PLAN.results.csv, then wait for the next module</source>
        <translation>测试台总线上一次接一个模块：按计划（CSV：address、line_speed、pwm1、pwm2、label）中下一行尚无结果的行设置它，读回核对，记入 PLAN.results.csv，然后等待下一个模块</translation>
    </message>
    <message>
        <location filename="../commandtable.cpp" line="169"/>
        <source>modules already at their addresses: set each as its row says, writing only what differs, and read it back; --dry-run only reads and tells what would change</source>
        <translation>已在各自地址上的模块：按其所在行设置，只写入不同之处并读回核对；--dry-run 只读取并说明将改动什么</translation>
    </message>
    <message>
        <location filename="../helptext.cpp" line="64"/>
        <source>Usage: quarvexctl [options] COMMAND [arguments]</source>
        <translation>用法：quarvexctl [选项] COMMAND [参数]</translation>
    </message>
    <message>
        <location filename="../helptext.cpp" line="68"/>
        <source>Options:</source>
        <translation>选项：</translation>
    </message>
    <message>
        <location filename="../helptext.cpp" line="82"/>
        <source>Commands:</source>
        <translation>命令：</translation>
    </message>
    <message>
        <location filename="../helptext.cpp" line="92"/>
        <source>find, address and set-address use the module&apos;s read-address frame to bus address 0: with several modules on one line they all answer at once and the replies collide. Use scan there. quarvexctl help COMMAND shows a command&apos;s usage and an example.</source>
        <translation>find、address 和 set-address 使用发往总线地址 0 的读地址帧：一条总线上有多个模块时，它们会同时应答，应答互相冲突。此时请用 scan。quarvexctl help COMMAND 显示单个命令的用法和示例。</translation>
    </message>
    <message>
        <location filename="../helptext.cpp" line="97"/>
        <source>Exit status:</source>
        <translation>退出状态：</translation>
    </message>
    <message>
        <location filename="../exitstatus.h" line="38"/>
        <source>bad usage or a value out of range: nothing was opened or sent</source>
        <translation>用法错误或数值超出范围：未打开串口，也未发送任何内容</translation>
    </message>
    <message>
        <location filename="../exitstatus.h" line="39"/>
        <source>the port cannot be opened, or went away</source>
        <translation>无法打开串口，或串口已消失</translation>
    </message>
    <message>
        <location filename="../exitstatus.h" line="41"/>
        <source>no valid reply after all tries, or only damaged ones</source>
        <translation>所有尝试后仍无有效应答，或只有损坏的应答</translation>
    </message>
    <message>
        <location filename="../exitstatus.h" line="43"/>
        <source>the module answered with a Modbus exception</source>
        <translation>模块以 Modbus 异常应答</translation>
    </message>
    <message>
        <location filename="../exitstatus.h" line="44"/>
        <source>find or scan found nothing</source>
        <translation>find 或 scan 什么也没找到</translation>
    </message>
    <message>
        <location filename="../exitstatus.h" line="46"/>
        <source>not applied: a motor&apos;s over-current alarm stands, or the module answers at another address than -a or than it was given</source>
        <translation>未生效：电机过流报警未清除，或模块应答的地址不是 -a 给出的地址或新设的地址</translation>
    </message>
    <message>
        <location filename="../exitstatus.h" line="49"/>
        <source>commission or apply: some rows of the plan failed (the results file says why); the others were done</source>
        <translation>commission 或 apply：计划中有些行失败（结果文件中写明原因）；其余各行已完成</translation>
    </message>
    <message>
        <location filename="../exitstatus.h" line="52"/>
        <source>interrupted by Ctrl+C (scan lists what it found so far)</source>
        <translation>被 Ctrl+C 中断（scan 列出目前已找到的结果）</translation>
    </message>
    <message>
        <location filename="../exitstatus.h" line="56"/>
        <source>terminated (SIGTERM), likewise</source>
        <translation>被终止（SIGTERM），同上</translation>
    </message>
    <message>
        <location filename="../helptext.cpp" line="106"/>
        <source>Usage: quarvexctl [options] %1</source>
        <translation>用法：quarvexctl [选项] %1</translation>
    </message>
    <message>
        <location filename="../helptext.cpp" line="108"/>
        <source>Example: %1</source>
        <translation>示例：%1</translation>
    </message>
    <message>
        <location filename="../helptext.cpp" line="111"/>
        <source>Options: see quarvexctl --help</source>
        <translation>选项：见 quarvexctl --help</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="172"/>
        <source>--%1 must be %2-%3, not &quot;%4&quot;</source>
        <translation>--%1 应为 %2-%3，而不是“%4”</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="183"/>
        <source>--from must not be above --to</source>
        <translation>--from 不能大于 --to</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="256"/>
        <source>no command given</source>
        <translation>未给出命令</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="266"/>
        <source>wrong arguments for %1 (see --help)</source>
        <translation>%1 的参数不对（见 --help）</translation>
    </message>
    <message>
        <location filename="../commandtable.cpp" line="97"/>
        <source>send needs a frame in hex, at least two bytes, not &quot;%1&quot;</source>
        <translation>send 需要一个十六进制帧，至少两个字节，而不是“%1”</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="260"/>
        <source>unknown command &quot;%1&quot; (see --help)</source>
        <translation>未知命令“%1”（见 --help）</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="215"/>
        <source>no port given: use --port or $QUARVEX_PORT</source>
        <translation>未给出串口：请用 --port 或 $QUARVEX_PORT</translation>
    </message>
    <message>
        <location filename="../main.cpp" line="37"/>
        <source>Try &apos;quarvexctl --help&apos;.</source>
        <translation>请试试“quarvexctl --help”。</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="34"/>
        <source>forward</source>
        <translation>正转</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="36"/>
        <source>reverse</source>
        <translation>反转</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="38"/>
        <source>direction %1</source>
        <translation>方向 %1</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="44"/>
        <source>%1, speed %2 %, PWM %3 Hz, brake %4, alarm %5</source>
        <translation>%1，速度 %2 %，PWM %3 Hz，刹车%4，报警%5</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="48"/>
        <source>on</source>
        <translation>开</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="48"/>
        <location filename="../report.cpp" line="49"/>
        <source>off</source>
        <translation>关</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="49"/>
        <source>OVER-CURRENT</source>
        <translation>过流</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="99"/>
        <source>%1 bit/s stored (the link runs at the server&apos;s speed, not known here)</source>
        <translation>已保存 %1 bit/s（链路的波特率由服务器决定，此处无从得知）</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="121"/>
        <source>bytes that fit no reply: noise, a wrong speed, or two modules at one address</source>
        <translation>收到的字节不成应答：干扰、波特率不对，或同一地址上有两个模块</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="165"/>
        <source>the gateway has no path to that unit</source>
        <translation>网关没有通往该单元的路径</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="167"/>
        <source>the gateway got no answer from that unit</source>
        <translation>网关未收到该单元的应答</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="224"/>
        <source>%1 bit/s | motor 1 %2 | motor 2 %3 | %4 ms</source>
        <translation>%1 bit/s | 电机1 %2 | 电机2 %3 | %4 ms</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="160"/>
        <source>function not supported</source>
        <translation>不支持的功能码</translation>
    </message>
    <message>
        <location filename="../findcommand.cpp" line="118"/>
        <location filename="../report.cpp" line="103"/>
        <location filename="../scancommand.cpp" line="140"/>
        <source>%1 bit/s</source>
        <translation>%1 bit/s</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="104"/>
        <source>%1 bit/s stored, takes effect after a restart (the link runs at %2)</source>
        <translation>已保存 %1 bit/s，重启后生效（链路当前为 %2）</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="107"/>
        <source>bus address  %1
line speed   %2
motor 1      %3
motor 2      %4
</source>
        <translation>从机地址  %1
波特率    %2
电机1     %3
电机2     %4
</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="124"/>
        <source>a reply cut off before its end: bytes lost on the line, or a wrong speed</source>
        <translation>应答在结尾前中断：总线上丢了字节，或波特率不对</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="127"/>
        <source>a reply with a bad CRC: noise, a wrong speed, or two modules at once</source>
        <translation>应答的 CRC 错误：干扰、波特率不对，或两个模块同时应答</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="129"/>
        <source>two replies on top of each other: more than one module answers on this line; use scan</source>
        <translation>两个应答叠在一起：这条总线上有不止一个模块应答；请用 scan</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="161"/>
        <source>register outside the map</source>
        <translation>寄存器不在寄存器表内</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="162"/>
        <source>value out of range</source>
        <translation>数值超出范围</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="163"/>
        <source>device failure</source>
        <translation>设备故障</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="169"/>
        <source>unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="231"/>
        <source>a late reply, maybe to an earlier poll: not taken for this one (a longer -t gives the module time)</source>
        <translation>迟到的应答，可能属于上一次轮询，未计入本次（加大 -t 可给模块更多时间）</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="260"/>
        <source>sent %1, answered %2, no reply %3, noise %4, cut off %5, bad CRC %6, exceptions %7</source>
        <translation>发送 %1，应答 %2，无应答 %3，干扰 %4，中断 %5，CRC 错误 %6，异常 %7</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="270"/>
        <source>, late %1</source>
        <translation>，迟到 %1</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="272"/>
        <source>; no replies, so no round trip</source>
        <translation>；没有应答，因此没有往返时间</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="273"/>
        <source>; round trip min %1 / avg %2 / max %3 ms</source>
        <translation>；往返 最小 %1 / 平均 %2 / 最大 %3 ms</translation>
    </message>
    <message>
        <location filename="../context.cpp" line="106"/>
        <source>no module at unit %1 behind the gateway: the gateway answered exception %2</source>
        <translation>网关后面的单元 %1 上没有模块：网关应答了异常 %2</translation>
    </message>
    <message>
        <location filename="../context.cpp" line="111"/>
        <source>the module refused the request: exception %1</source>
        <translation>模块拒绝了请求：异常 %1</translation>
    </message>
    <message>
        <location filename="../context.cpp" line="116"/>
        <location filename="../report.cpp" line="132"/>
        <source>no reply</source>
        <translation>无应答</translation>
    </message>
    <message>
        <location filename="../context.cpp" line="117"/>
        <source>no reply after %1 tries</source>
        <translation>尝试 %1 次后仍无应答</translation>
    </message>
    <message>
        <location filename="../context.cpp" line="206"/>
        <source>the module reported bus address %1, outside %2-%3; nothing was sent to it</source>
        <translation>模块报告的从机地址为 %1，不在 %2-%3 之内；未向其发送任何内容</translation>
    </message>
    <message>
        <location filename="../modulecommands.cpp" line="89"/>
        <source>bus address %1</source>
        <translation>从机地址 %1</translation>
    </message>
    <message>
        <location filename="../modulecommands.cpp" line="162"/>
        <location filename="../exitstatus.h" line="36"/>
        <source>done</source>
        <translation>完成</translation>
    </message>
    <message>
        <location filename="../modulecommands.cpp" line="181"/>
        <source>alarm of motor %1 cleared; its parameters are back at their power-up values</source>
        <translation>电机%1的报警已清除；其参数已恢复为上电值</translation>
    </message>
    <message>
        <location filename="../modulecommands.cpp" line="58"/>
        <source>line speed %1 bit/s stored; it takes effect when the module restarts</source>
        <translation>波特率 %1 bit/s 已保存；模块重启后生效</translation>
    </message>
    <message>
        <location filename="../modulecommands.cpp" line="243"/>
        <source>bus address now %1</source>
        <translation>从机地址现为 %1</translation>
    </message>
    <message>
        <location filename="../modulecommands.cpp" line="204"/>
        <source>the address was not changed (--force skips this check)</source>
        <translation>地址未修改（--force 可跳过此检查）</translation>
    </message>
    <message>
        <location filename="../context.cpp" line="122"/>
        <source>no valid reply after %1 tries: %2</source>
        <translation>尝试 %1 次后仍无有效应答：%2</translation>
    </message>
    <message>
        <location filename="../context.cpp" line="132"/>
        <source>the port went away</source>
        <translation>串口已消失</translation>
    </message>
    <message>
        <location filename="../context.cpp" line="240"/>
        <source>through a Modbus TCP gateway give the module&apos;s bus address, its unit there, with -a: the frame that asks a module for its address does not pass a gateway</source>
        <translation>经 Modbus TCP 网关时请用 -a 给出模块的从机地址（即网关上的单元号）：询问模块地址的帧无法通过网关</translation>
    </message>
    <message>
        <location filename="../context.cpp" line="260"/>
        <source>interrupted</source>
        <translation>已中断</translation>
    </message>
    <message>
        <location filename="../modulecommands.cpp" line="101"/>
        <source>no module answers at bus address %1</source>
        <translation>从机地址 %1 上没有模块应答</translation>
    </message>
    <message>
        <location filename="../modulecommands.cpp" line="112"/>
        <source>a module answers at bus address %1</source>
        <translation>从机地址 %1 上有模块应答</translation>
    </message>
    <message>
        <location filename="../modulecommands.cpp" line="156"/>
        <source>not applied: the over-current alarm of motor %1 stands, and the module ignores commands to it until it is cleared with &apos;quarvexctl alarm clear %1&apos;; nothing was sent</source>
        <translation>未生效：电机%1的过流报警未清除，在用“quarvexctl alarm clear %1”清除之前模块会忽略发给它的命令；未发送任何内容</translation>
    </message>
    <message>
        <location filename="../modulecommands.cpp" line="176"/>
        <source>no alarm stood on motor %1; nothing changed</source>
        <translation>电机%1没有报警；什么也没有改变</translation>
    </message>
    <message>
        <location filename="../modulecommands.cpp" line="209"/>
        <source>the module answering is at bus address %1, not %2; the address was not changed</source>
        <translation>应答的模块在从机地址 %1，而不是 %2；地址未修改</translation>
    </message>
    <message>
        <location filename="../commissioncommand.cpp" line="31"/>
        <source>interrupted: </source>
        <translation>已中断：</translation>
    </message>
    <message>
        <location filename="../commissioncommand.cpp" line="37"/>
        <source>this run %1 done, %2 failed; %3 rows of the plan without a result</source>
        <translation>本次完成 %1 行，失败 %2 行；计划中还有 %3 行没有结果</translation>
    </message>
    <message>
        <location filename="../commissioncommand.cpp" line="45"/>
        <source>row %1</source>
        <translation>第 %1 行</translation>
    </message>
    <message>
        <location filename="../commissioncommand.cpp" line="46"/>
        <source>row %1 &apos;%2&apos;</source>
        <translation>第 %1 行“%2”</translation>
    </message>
    <message>
        <location filename="../commissioncommand.cpp" line="69"/>
        <source>waiting for a module on the bench line ...</source>
        <translation>等待测试台总线上的模块 …</translation>
    </message>
    <message>
        <location filename="../commissioncommand.cpp" line="86"/>
        <source>more than one module answers: one module at a time on the bench line</source>
        <translation>有不止一个模块应答：测试台总线上一次只接一个模块</translation>
    </message>
    <message>
        <location filename="../commissioncommand.cpp" line="107"/>
        <source>the module at bus address %1 is done already: connect the next module</source>
        <translation>从机地址 %1 的模块已经完成：请接下一个模块</translation>
    </message>
    <message>
        <location filename="../commissioncommand.cpp" line="121"/>
        <location filename="../commissioncommand.cpp" line="221"/>
        <source>every row of the plan has a result: </source>
        <translation>计划中每一行都已有结果：</translation>
    </message>
    <message>
        <location filename="../commissioncommand.cpp" line="158"/>
        <source>no acknowledgement of %1</source>
        <translation>%1 未得到确认</translation>
    </message>
    <message>
        <location filename="../commissioncommand.cpp" line="162"/>
        <location filename="../modulecommands.cpp" line="235"/>
        <source>the module acknowledged, but answers at bus address %1</source>
        <translation>模块已确认，但应答的从机地址为 %1</translation>
    </message>
    <message>
        <location filename="../commissioncommand.cpp" line="180"/>
        <source>no reply at bus address %1 to read it back</source>
        <translation>读回时从机地址 %1 无应答</translation>
    </message>
    <message>
        <location filename="../commissioncommand.cpp" line="203"/>
        <source>%1 done: address %2 — label it, connect the next module</source>
        <translation>%1 完成：地址 %2 —— 贴上标签，接下一个模块</translation>
    </message>
    <message>
        <location filename="../commissioncommand.cpp" line="206"/>
        <source>%1 failed: %2 — take it off the bench, connect the next module</source>
        <translation>%1 失败：%2 —— 把它从测试台上取下，接下一个模块</translation>
    </message>
    <message>
        <location filename="../modulecommands.cpp" line="260"/>
        <source>broadcast: no reply expected</source>
        <translation>广播：不等待应答</translation>
    </message>
    <message>
        <location filename="../modulecommands.cpp" line="283"/>
        <source>PORT  DESCRIPTION  MAKER  SERIAL  BY-ID</source>
        <translation>串口  描述  厂商  序列号  BY-ID 链接</translation>
    </message>
    <message>
        <location filename="../findcommand.cpp" line="133"/>
        <source>no serial port found</source>
        <translation>未找到串口</translation>
    </message>
    <message>
        <location filename="../findcommand.cpp" line="142"/>
        <source>no module found</source>
        <translation>未找到模块</translation>
    </message>
    <message>
        <location filename="../findcommand.cpp" line="87"/>
        <source>%1 at %2 bit/s ...</source>
        <translation>%1，%2 bit/s …</translation>
    </message>
    <message>
        <location filename="../findcommand.cpp" line="169"/>
        <source>%1  %2 bit/s  address %3</source>
        <translation>%1  %2 bit/s  地址 %3</translation>
    </message>
    <message>
        <location filename="../scancommand.cpp" line="92"/>
        <source>%1 bit/s  address %2 of %3  found %4  %5 s left</source>
        <translation>%1 bit/s  地址 %2/%3  已找到 %4  剩余 %5 秒</translation>
    </message>
    <message>
        <location filename="../scancommand.cpp" line="141"/>
        <source>the gateway&apos;s line speed</source>
        <translation>网关的波特率</translation>
    </message>
    <message>
        <location filename="../scancommand.cpp" line="145"/>
        <source>address %1  %2  answered once, late, %3 ms</source>
        <translation>地址 %1  %2  应答过一次，迟到 %3 ms</translation>
    </message>
    <message>
        <location filename="../scancommand.cpp" line="149"/>
        <source>address %1  %2</source>
        <translation>地址 %1  %2</translation>
    </message>
    <message>
        <location filename="../scancommand.cpp" line="152"/>
        <source>damaged replies at address %1  %2: two modules at one address, a wrong speed, or noise</source>
        <translation>地址 %1  %2 的应答已损坏：同一地址上有两个模块、波特率不对，或有干扰</translation>
    </message>
    <message>
        <location filename="../scancommand.cpp" line="184"/>
        <source>interrupted: what was found until then is listed</source>
        <translation>已中断：已列出中断前找到的结果</translation>
    </message>
    <message>
        <location filename="../scancommand.cpp" line="189"/>
        <source>no valid reply, only damaged ones</source>
        <translation>没有有效应答，只有损坏的应答</translation>
    </message>
    <message>
        <location filename="../scancommand.cpp" line="192"/>
        <source>no module answered</source>
        <translation>没有模块应答</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="229"/>
        <source>exception %1</source>
        <translation>异常 %1</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="217"/>
        <source>only scan takes several ports</source>
        <translation>只有 scan 可接多个端口</translation>
    </message>
    <message>
        <location filename="../context.cpp" line="248"/>
        <source>the address frames need a transparent link: use tcp:// or rfc2217://</source>
        <translation>地址帧需要透明链路：请使用 tcp:// 或 rfc2217://</translation>
    </message>
    <message>
        <location filename="../scancommand.cpp" line="33"/>
        <source>%1: the line speed is the server&apos;s; scanning at that one only</source>
        <translation>%1：波特率由服务器决定；只按该波特率扫描</translation>
    </message>
    <message>
        <location filename="../findcommand.cpp" line="72"/>
        <source>%1: the line speed is the server&apos;s; trying that one only</source>
        <translation>%1：波特率由服务器决定；只试该波特率</translation>
    </message>
    <message>
        <location filename="../findcommand.cpp" line="100"/>
        <source>%1 unit %2 ...</source>
        <translation>%1 单元 %2 …</translation>
    </message>
    <message>
        <location filename="../findcommand.cpp" line="116"/>
        <source>%1 at %2: something answers, but unreadably: several modules at once, noise, or a wrong speed; use scan</source>
        <translation>%1 在 %2：有应答但无法读懂：多个模块同时应答、干扰或波特率不对；请用 scan</translation>
    </message>
    <message>
        <location filename="../findcommand.cpp" line="119"/>
        <location filename="../scancommand.cpp" line="141"/>
        <source>the server&apos;s line speed</source>
        <translation>服务器的波特率</translation>
    </message>
    <message>
        <location filename="../findcommand.cpp" line="126"/>
        <location filename="../scancommand.cpp" line="179"/>
        <source>the line is noisy: %1 bytes arrived unasked</source>
        <translation>总线上有干扰：未经询问收到了 %1 个字节</translation>
    </message>
    <message>
        <location filename="../findcommand.cpp" line="138"/>
        <source>a module at bus address %1 answered once, late, and not when asked again: its line speed is not known; try a longer -t</source>
        <translation>从机地址 %1 的模块迟到地应答过一次，再问时未应答：其波特率未知；请加大 -t 再试</translation>
    </message>
    <message>
        <location filename="../findcommand.cpp" line="163"/>
        <source>%1  the gateway&apos;s line speed  address %2 (stored line speed %3 bit/s)</source>
        <translation>%1  网关的波特率  地址 %2（模块保存的波特率 %3 bit/s）</translation>
    </message>
    <message>
        <location filename="../findcommand.cpp" line="171"/>
        <source>%1  the server&apos;s line speed  address %2</source>
        <translation>%1  服务器的波特率  地址 %2</translation>
    </message>
    <message>
        <location filename="../scancommand.cpp" line="204"/>
        <source>scanning %1 ports ...</source>
        <translation>正在扫描 %1 个端口 …</translation>
    </message>
    <message>
        <location filename="../context.cpp" line="35"/>
        <source>the server runs the line at %1 bit/s, not at the %2 chosen</source>
        <translation>服务器把波特率设为 %1，与所选 %2 不符</translation>
    </message>
    <message>
        <location filename="../applycommand.cpp" line="25"/>
        <source>interrupted: %1 rows done, %2 failed, %3 not reached</source>
        <translation>已中断：完成 %1 行，失败 %2 行，%3 行未处理</translation>
    </message>
    <message>
        <location filename="../applycommand.cpp" line="36"/>
        <source>row %1 address %2</source>
        <translation>第 %1 行 地址 %2</translation>
    </message>
    <message>
        <location filename="../applycommand.cpp" line="37"/>
        <source>row %1 &apos;%2&apos; address %3</source>
        <translation>第 %1 行“%2” 地址 %3</translation>
    </message>
    <message>
        <location filename="../applycommand.cpp" line="43"/>
        <source>%1 rows read: %2 would change, %3 failed; nothing was written</source>
        <translation>已读取 %1 行：%2 行将改动，%3 行失败；未写入任何内容</translation>
    </message>
    <message>
        <location filename="../applycommand.cpp" line="48"/>
        <source>%1 rows: %2 done, %3 failed</source>
        <translation>共 %1 行：完成 %2 行，失败 %3 行</translation>
    </message>
    <message>
        <location filename="../applycommand.cpp" line="61"/>
        <source>the over-current alarm of motor %1 stands and the module ignores writes to it: clear it first (quarvexctl -a %2 alarm clear %1)</source>
        <translation>电机%1的过流报警未清除，模块会忽略对它的写入：请先清除（quarvexctl -a %2 alarm clear %1）</translation>
    </message>
    <message>
        <location filename="../applycommand.cpp" line="91"/>
        <source>refused: exception %1</source>
        <translation>被拒绝：异常 %1</translation>
    </message>
    <message>
        <location filename="../applycommand.cpp" line="93"/>
        <source>no module answers</source>
        <translation>没有模块应答</translation>
    </message>
    <message>
        <location filename="../applycommand.cpp" line="126"/>
        <source>a write was not acknowledged</source>
        <translation>有一次写入未得到确认</translation>
    </message>
    <message>
        <location filename="../applycommand.cpp" line="141"/>
        <location filename="../commissioncommand.cpp" line="183"/>
        <source>read back otherwise: %1</source>
        <translation>读回的值不同：%1</translation>
    </message>
    <message>
        <location filename="../applycommand.cpp" line="150"/>
        <source>as planned, nothing to change</source>
        <translation>已符合计划，无需改动</translation>
    </message>
    <message>
        <location filename="../applycommand.cpp" line="154"/>
        <source>%1: failed: %2</source>
        <translation>%1：失败：%2</translation>
    </message>
    <message>
        <location filename="../applycommand.cpp" line="156"/>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <location filename="../applycommand.cpp" line="158"/>
        <source>%1: done: %2</source>
        <translation>%1：完成：%2</translation>
    </message>
    <message>
        <location filename="../plan.cpp" line="65"/>
        <source>bus address %1 is on line %2 already</source>
        <translation>从机地址 %1 已在第 %2 行出现</translation>
    </message>
    <message>
        <location filename="../plan.cpp" line="153"/>
        <source>no header row</source>
        <translation>没有表头行</translation>
    </message>
    <message>
        <location filename="../plan.cpp" line="91"/>
        <source>unknown column &quot;%1&quot; (the columns are address, line_speed, pwm1, pwm2, label)</source>
        <translation>未知的列“%1”（列名为 address、line_speed、pwm1、pwm2、label）</translation>
    </message>
    <message>
        <location filename="../plan.cpp" line="96"/>
        <source>column &quot;%1&quot; twice</source>
        <translation>列“%1”出现两次</translation>
    </message>
    <message>
        <location filename="../plan.cpp" line="103"/>
        <source>no address column</source>
        <translation>没有 address 列</translation>
    </message>
    <message>
        <location filename="../plan.cpp" line="114"/>
        <source>%1 cells, but the header names %2</source>
        <translation>有 %1 个单元格，但表头只有 %2 列</translation>
    </message>
    <message>
        <location filename="../plan.cpp" line="142"/>
        <location filename="../plan.cpp" line="189"/>
        <source>no bus address</source>
        <translation>没有从机地址</translation>
    </message>
    <message>
        <location filename="../plan.cpp" line="170"/>
        <source>not JSON as read --json prints it: %1</source>
        <translation>不是 read --json 输出的 JSON：%1</translation>
    </message>
    <message>
        <location filename="../plan.cpp" line="205"/>
        <source>not UTF-8 text</source>
        <translation>不是 UTF-8 文本</translation>
    </message>
    <message>
        <location filename="../plan.cpp" line="216"/>
        <source>no rows</source>
        <translation>没有数据行</translation>
    </message>
    <message>
        <location filename="../plan.cpp" line="229"/>
        <source>PWM %1 %2 → %3 Hz</source>
        <translation>PWM %1 %2 → %3 Hz</translation>
    </message>
    <message>
        <location filename="../plan.cpp" line="232"/>
        <source>line speed %1 → %2, after a restart</source>
        <translation>波特率 %1 → %2，重启后生效</translation>
    </message>
    <message>
        <location filename="../plancommand.cpp" line="17"/>
        <source>cannot read the plan %1: %2</source>
        <translation>无法读取计划 %1：%2</translation>
    </message>
    <message>
        <location filename="../plancommand.cpp" line="26"/>
        <source>nothing was sent: mend the plan first</source>
        <translation>未发送任何内容：请先改正计划</translation>
    </message>
    <message>
        <location filename="../plancommand.cpp" line="47"/>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="33"/>
        <source>cannot open %1: no such port</source>
        <translation>无法打开 %1：没有这个串口</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="37"/>
        <source>cannot open %1: permission denied; add your user to the dialout group and log in again</source>
        <translation>无法打开 %1：权限不足；请把用户加入 dialout 组后重新登录</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="46"/>
        <source>cannot open %1: permission denied</source>
        <translation>无法打开 %1：权限不足</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="51"/>
        <source>cannot open %1: in use by another program</source>
        <translation>无法打开 %1：串口已被其他程序占用</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="56"/>
        <source>cannot open %1: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="64"/>
        <source>the port failed: %1</source>
        <translation>串口出错：%1</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="77"/>
        <source>%1 is not a network port: use tcp://HOST:PORT, rfc2217://HOST:PORT or modbus-tcp://HOST[:PORT]</source>
        <translation>%1 不是网络端口：请用 tcp://主机:端口、rfc2217://主机:端口 或 modbus-tcp://主机[:端口]</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="86"/>
        <source>cannot connect to %1: connection refused</source>
        <translation>无法连接 %1：连接被拒绝</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="89"/>
        <source>cannot connect to %1: host not found</source>
        <translation>无法连接 %1：找不到主机</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="93"/>
        <source>cannot connect to %1: host unreachable (no connection within %2 s)</source>
        <translation>无法连接 %1：主机不可达（%2 秒内未连上）</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="103"/>
        <source>the connection to %1 was dropped</source>
        <translation>与 %1 的连接已断开</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="109"/>
        <source>%1 does not set the line speed (no RFC 2217 COM-PORT-CONTROL): use tcp:// for a server in transparent mode</source>
        <translation>%1 不能设置波特率（不支持 RFC 2217 COM-PORT-CONTROL）：透明模式的服务器请用 tcp://</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="117"/>
        <source>%1 did not acknowledge the line speed</source>
        <translation>%1 未确认波特率</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="120"/>
        <source>%1 sent bytes that are not Modbus TCP</source>
        <translation>%1 发来的数据不是 Modbus TCP</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="123"/>
        <source>%1: the server stopped reading; the connection was closed</source>
        <translation>%1：服务器不再读取数据；连接已关闭</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../../link/failurewords.cpp" line="43"/>
        <source>，当前用户无权使用该串口，请把用户加入 dialout 组后重新登录</source>
        <translation>，当前用户无权使用该串口，请把用户加入 dialout 组后重新登录</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="47"/>
        <source>，当前用户无权使用该串口</source>
        <translation>，当前用户无权使用该串口</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="52"/>
        <source>，串口已被其他程序占用</source>
        <translation>，串口已被其他程序占用</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="69"/>
        <source>设备已断开</source>
        <translation>设备已断开</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="81"/>
        <source>网络地址应写作 tcp://主机:端口、rfc2217://主机:端口 或 modbus-tcp://主机[:端口]</source>
        <translation>网络地址应写作 tcp://主机:端口、rfc2217://主机:端口 或 modbus-tcp://主机[:端口]</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="87"/>
        <source>连接被拒绝</source>
        <translation>连接被拒绝</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="90"/>
        <source>找不到主机</source>
        <translation>找不到主机</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="97"/>
        <source>主机不可达，%1 秒内未连上</source>
        <translation>主机不可达，%1 秒内未连上</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="101"/>
        <source>网络连接已断开</source>
        <translation>网络连接已断开</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="114"/>
        <source>服务器不支持 RFC 2217 串口控制</source>
        <translation>服务器不支持 RFC 2217 串口控制</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="118"/>
        <source>服务器未确认波特率</source>
        <translation>服务器未确认波特率</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="121"/>
        <source>收到的数据不是 Modbus TCP 帧</source>
        <translation>收到的数据不是 Modbus TCP 帧</translation>
    </message>
    <message>
        <location filename="../../link/failurewords.cpp" line="126"/>
        <source>服务器不再读取数据，连接已关闭</source>
        <translation>服务器不再读取数据，连接已关闭</translation>
    </message>
</context>
<context>
    <name>QCommandLineParser</name>
    <message>
        <location filename="../invocation.cpp" line="55"/>
        <source>Unknown option &apos;%1&apos;.</source>
        <translation>未知选项“%1”。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="56"/>
        <source>Unknown options: %1.</source>
        <translation>未知选项：%1。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="57"/>
        <source>Missing value after &apos;%1&apos;.</source>
        <translation>“%1”后缺少值。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="58"/>
        <source>Unexpected value after &apos;%1&apos;.</source>
        <translation>“%1”后不应有值。</translation>
    </message>
</context>
</TS>
