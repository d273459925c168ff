<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Cli</name>
    <message>
        <location filename="../invocation.cpp" line="20"/>
        <source>one of %1</source>
        <translation>%1 中的一档</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="30"/>
        <source>the bus address</source>
        <translation>从机地址</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="32"/>
        <source>SPEED</source>
        <translation>速度</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="34"/>
        <source>HZ</source>
        <translation>PWM频率</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="36"/>
        <source>the line speed</source>
        <translation>波特率</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="48"/>
        <source>%1 must be %2, not &quot;%3&quot;</source>
        <translation>%1应为%2，而不是“%3”</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="67"/>
        <source>Commands:
  ports                          serial ports: name, description, maker, serial number, /dev/serial/by-id link
  find                           try the nine line speeds on --port (every listed port when none is given),
                                 likeliest first; report port, line speed and bus address
  address                        the module&apos;s bus address
  read                           all parameters and both alarm flags, decoded
  motor 1|2 forward|reverse SPEED   run a motor, SPEED 0-100
  motor 1|2 stop|brake           stop a motor (speed 0) or engage its brake
  motor 1|2 frequency HZ         PWM frequency, HZ 1000-10000
  alarm clear 1|2                clear a motor&apos;s over-current alarm (its parameters return to
                                 their power-up values)
  set-address N                  give the module bus address N, 1-254
  set-speed N                    store line speed N (one of the nine); it takes effect when the
                                 module restarts
  watch [--interval MS] [--count N]  poll all parameters, one line a poll, then a summary
  send HEX                       any frame (blanks allowed); the CRC is appended, the reply printed
  scan [--from N] [--to N] [--all-speeds]  probe every bus address; list the modules that answer

find, address and set-address use the module&apos;s read-address frame to bus address 0: with several
modules on one line they all answer at once and the replies collide. Use scan there.

Exit status: 0 done; 1 bad usage or a value out of range (nothing sent); 2 the port cannot be
opened; 3 no valid reply after all tries; 4 the module answered with a Modbus exception;
5 find or scan found nothing.
</source>
        <translation>命令：
  ports                          串口：名称、描述、厂商、序列号、/dev/serial/by-id 链接
  find                           在 --port 上（未给出时在每个列出的串口上）依次尝试九档波特率，
                                 最常用的在前；报告串口、波特率和从机地址
  address                        模块的从机地址
  read                           全部参数和两个报警标志，已解码
  motor 1|2 forward|reverse SPEED   运行电机，SPEED 0-100
  motor 1|2 stop|brake           停止电机（速度 0）或刹车
  motor 1|2 frequency HZ         PWM 频率，HZ 1000-10000
  alarm clear 1|2                清除电机的过流报警（其参数恢复为上电值）
  set-address N                  把模块的从机地址设为 N，1-254
  set-speed N                    保存波特率 N（九档之一）；模块重启后生效
  watch [--interval MS] [--count N]  轮询全部参数，每次一行，最后给出汇总
  send HEX                       任意帧（可含空格）；自动加 CRC，打印应答
  scan [--from N] [--to N] [--all-speeds]  探测每个从机地址；列出应答的模块

find、address 和 set-address 使用发往地址 0 的读地址帧：一条总线上有多个模块时，
它们会同时应答，应答相互冲突。这种情况请用 scan。

退出状态：0 完成；1 用法错误或数值超出范围（未发送任何内容）；2 无法打开串口；
3 所有尝试后仍无有效应答；4 模块以 Modbus 异常应答；5 find 或 scan 一无所获。
</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="113"/>
        <source>Finds, reads, drives and commissions a Quarvex motor driver module over RS-485.</source>
        <translation>通过 RS-485 查找、读取、驱动和调试 Quarvex 电机驱动模块。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="121"/>
        <source>Show this help.</source>
        <translation>显示本帮助。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="122"/>
        <source>Show the version.</source>
        <translation>显示版本。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="124"/>
        <source>port name (ttyUSB0) or path (/dev/ttyUSB0, /dev/serial/by-id/..., a pty), or across the network tcp://HOST:PORT (RTU over TCP), rfc2217://HOST:PORT (line speed set through the server), modbus-tcp://HOST[:PORT] (a gateway); also $QUARVEX_PORT. scan takes several: repeated or comma-separated</source>
        <translation>串口名（ttyUSB0）或路径（/dev/ttyUSB0、/dev/serial/by-id/…、伪终端），或经网络：tcp://主机:端口（RTU over TCP）、rfc2217://主机:端口（经服务器设置波特率）、modbus-tcp://主机[:端口]（网关）；也可用 $QUARVEX_PORT。scan 可接多个端口：重复 -p 或以逗号分隔</translation>
    </message>
    <message>
        <source>port name (COM3), or across the network tcp://HOST:PORT (RTU over TCP), rfc2217://HOST:PORT (line speed set through the server), modbus-tcp://HOST[:PORT] (a gateway); also %QUARVEX_PORT%. scan takes several: repeated or comma-separated</source>
        <translation>串口名（COM3），或经网络：tcp://主机:端口（RTU over TCP）、rfc2217://主机:端口（经服务器设置波特率）、modbus-tcp://主机[:端口]（网关）；也可用 %QUARVEX_PORT%。scan 可接多个端口：重复 -p 或以逗号分隔</translation>
    </message>
    <message>
        <source>stopped by Ctrl+Break, likewise</source>
        <translation>被 Ctrl+Break 停止，同上</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="127"/>
        <source>One of the nine line speeds (default 9600).</source>
        <translation>九档波特率之一（默认 9600）。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="129"/>
        <source>The module&apos;s bus address, 1-254; when absent, ask the module first.</source>
        <translation>模块的从机地址，1-254；未给出时先向模块查询。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="132"/>
        <source>Reply timeout for one try (default 1000).</source>
        <translation>每次尝试的应答超时，毫秒（默认 1000）。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="135"/>
        <source>Further tries after a timeout or a damaged reply (default 1).</source>
        <translation>超时或应答损坏后的重试次数（默认 1）。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="138"/>
        <source>Machine-readable result on stdout (JSON; JSON Lines for watch).</source>
        <translation>在标准输出上给出机器可读的结果（JSON；watch 为 JSON Lines）。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="142"/>
        <source>Every frame on stderr: time, direction, hex, round trip in ms.</source>
        <translation>在标准错误上显示每一帧：时间、方向、十六进制、往返毫秒数。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="144"/>
        <source>watch: time between polls (default 1000).</source>
        <translation>watch：两次轮询的间隔，毫秒（默认 1000）。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="147"/>
        <source>watch: stop after N polls (default: until Ctrl+C).</source>
        <translation>watch：轮询 N 次后停止（默认：直到 Ctrl+C）。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="148"/>
        <source>scan: first bus address (default 1).</source>
        <translation>scan：起始从机地址（默认 1）。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="149"/>
        <source>scan: last bus address (default 254).</source>
        <translation>scan：结束从机地址（默认 254）。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="150"/>
        <source>scan: at each of the nine line speeds.</source>
        <translation>scan：在九档波特率下逐一扫描。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="153"/>
        <source>set-address: skip the check for several modules on the line.</source>
        <translation>set-address：跳过总线上多个模块的检查。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="169"/>
        <source>One of the commands below.</source>
        <translation>下列命令之一。</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="227"/>
        <source>--%1 must be %2-%3, not &quot;%4&quot;</source>
        <translation>--%1 应为 %2-%3，而不是“%4”</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="238"/>
        <source>--from must not be above --to</source>
        <translation>--from 不能大于 --to</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="244"/>
        <source>no command given</source>
        <translation>未给出命令</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="250"/>
        <source>wrong arguments for %1 (see --help)</source>
        <translation>%1 的参数不对（见 --help）</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="325"/>
        <source>send needs a frame in hex, at least two bytes, not &quot;%1&quot;</source>
        <translation>send 需要一个十六进制帧，至少两个字节，而不是“%1”</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="331"/>
        <source>unknown command &quot;%1&quot; (see --help)</source>
        <translation>未知命令“%1”（见 --help）</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="336"/>
        <source>no port given: use --port or $QUARVEX_PORT</source>
        <translation>未给出串口：请用 --port 或 $QUARVEX_PORT</translation>
    </message>
    <message>
        <location filename="../main.cpp" line="74"/>
        <source>Try &apos;quarvexctl --help&apos;.</source>
        <translation>请试试“quarvexctl --help”。</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="30"/>
        <source>forward</source>
        <translation>正转</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="32"/>
        <source>reverse</source>
        <translation>反转</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="34"/>
        <source>direction %1</source>
        <translation>方向 %1</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="40"/>
        <source>%1, speed %2 %, PWM %3 Hz, brake %4, alarm %5</source>
        <translation>%1，速度 %2 %，PWM %3 Hz，刹车%4，报警%5</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="44"/>
        <source>on</source>
        <translation>开</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="44"/>
        <location filename="../report.cpp" line="45"/>
        <source>off</source>
        <translation>关</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="45"/>
        <source>OVER-CURRENT</source>
        <translation>过流</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="68"/>
        <source>bus address  %1
line speed   %2 bit/s
motor 1      %3
motor 2      %4
</source>
        <translation>从机地址  %1
波特率    %2 bit/s
电机1     %3
电机2     %4
</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="79"/>
        <source>%1 bit/s | motor 1 %2 | motor 2 %3 | %4 ms</source>
        <translation>%1 bit/s | 电机1 %2 | 电机2 %3 | %4 ms</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="89"/>
        <source>function not supported</source>
        <translation>不支持的功能码</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="90"/>
        <source>register outside the map</source>
        <translation>寄存器不在寄存器表内</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="91"/>
        <source>value out of range</source>
        <translation>数值超出范围</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="92"/>
        <source>device failure</source>
        <translation>设备故障</translation>
    </message>
    <message>
        <location filename="../report.cpp" line="95"/>
        <source>unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="61"/>
        <source>a damaged reply to the address request: more than one module may be on this line; use scan</source>
        <translation>地址查询的应答已损坏：这条总线上可能不止一个模块；请用 scan</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="107"/>
        <source>the module refused the request: exception %1</source>
        <translation>模块拒绝了请求：异常 %1</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="112"/>
        <location filename="../runner.cpp" line="529"/>
        <source>no reply</source>
        <translation>无应答</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="113"/>
        <source>no reply after %1 tries</source>
        <translation>尝试 %1 次后仍无应答</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="119"/>
        <source>no valid reply after %1 tries (damaged replies)</source>
        <translation>尝试 %1 次后仍无有效应答（应答已损坏）</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="123"/>
        <source>the port failed: %1</source>
        <translation>串口出错：%1</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="139"/>
        <source>cannot open %1: no such port</source>
        <translation>无法打开 %1：没有这个串口</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="143"/>
        <source>cannot open %1: permission denied; add your user to the dialout group and log in again</source>
        <translation>无法打开 %1：权限不足；请把用户加入 dialout 组后重新登录</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="147"/>
        <source>cannot open %1: permission denied</source>
        <translation>无法打开 %1：权限不足</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="151"/>
        <source>cannot open %1: in use by another program</source>
        <translation>无法打开 %1：串口已被其他程序占用</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="154"/>
        <source>cannot open %1: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="227"/>
        <source>the module reported bus address %1, outside %2-%3; nothing was sent to it</source>
        <translation>模块报告的从机地址为 %1，不在 %2-%3 之内；未向其发送任何内容</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="250"/>
        <source>bus address %1</source>
        <translation>从机地址 %1</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="269"/>
        <source>done</source>
        <translation>完成</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="273"/>
        <source>alarm of motor %1 cleared; its parameters are back at their power-up values</source>
        <translation>电机%1的报警已清除；其参数已恢复为上电值</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="279"/>
        <source>line speed %1 bit/s stored; it takes effect when the module restarts</source>
        <translation>波特率 %1 bit/s 已保存；模块重启后生效</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="284"/>
        <source>bus address now %1</source>
        <translation>从机地址现为 %1</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="293"/>
        <source>the address was not changed (--force skips this check)</source>
        <translation>地址未修改（--force 可跳过此检查）</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="359"/>
        <source>no serial port found</source>
        <translation>未找到串口</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="359"/>
        <source>no module found</source>
        <translation>未找到模块</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="385"/>
        <source>%1 at %2 bit/s ...</source>
        <translation>%1，%2 bit/s …</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="401"/>
        <source>%1  %2 bit/s  address %3</source>
        <translation>%1  %2 bit/s  地址 %3</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="439"/>
        <source>%1 bit/s  address %2 of %3  found %4  %5 s left</source>
        <translation>%1 bit/s  地址 %2/%3  已找到 %4  剩余 %5 秒</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="487"/>
        <source>address %1  %2 bit/s</source>
        <translation>地址 %1  %2 bit/s</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="489"/>
        <source>damaged replies at address %1: two modules may share this address, or the line is noisy</source>
        <translation>地址 %1 的应答已损坏：可能有两个模块共用此地址，或总线受到干扰</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="494"/>
        <source>no module answered</source>
        <translation>没有模块应答</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="533"/>
        <source>damaged reply</source>
        <translation>应答已损坏</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="538"/>
        <source>exception %1</source>
        <translation>异常 %1</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="577"/>
        <source>sent %1, answered %2, timeouts %3, CRC errors %4, exceptions %5; round trip min %6 / avg %7 / max %8 ms</source>
        <translation>发送 %1，应答 %2，超时 %3，CRC 错误 %4，异常 %5；往返 最小 %6 / 平均 %7 / 最大 %8 ms</translation>
    </message>
    <message>
        <location filename="../invocation.cpp" line="0"/>
        <source>only scan takes several ports</source>
        <translation>只有 scan 可接多个端口</translation>
    </message>
    <message>
        <location filename="../portwords.cpp" line="0"/>
        <source>%1 is not a network port: use tcp://HOST:PORT, rfc2217://HOST:PORT or modbus-tcp://HOST[:PORT]</source>
        <translation>%1 不是网络端口：请用 tcp://主机:端口、rfc2217://主机:端口 或 modbus-tcp://主机[:端口]</translation>
    </message>
    <message>
        <location filename="../portwords.cpp" line="0"/>
        <source>cannot connect to %1: connection refused</source>
        <translation>无法连接 %1：连接被拒绝</translation>
    </message>
    <message>
        <location filename="../portwords.cpp" line="0"/>
        <source>cannot connect to %1: host not found</source>
        <translation>无法连接 %1：找不到主机</translation>
    </message>
    <message>
        <location filename="../portwords.cpp" line="0"/>
        <source>cannot connect to %1: host unreachable (no connection within %2 s)</source>
        <translation>无法连接 %1：主机不可达（%2 秒内未连上）</translation>
    </message>
    <message>
        <location filename="../portwords.cpp" line="0"/>
        <source>the connection to %1 was dropped</source>
        <translation>与 %1 的连接已断开</translation>
    </message>
    <message>
        <location filename="../portwords.cpp" line="0"/>
        <source>%1 does not set the line speed (no RFC 2217 COM-PORT-CONTROL): use tcp:// for a server in transparent mode</source>
        <translation>%1 不能设置波特率（不支持 RFC 2217 COM-PORT-CONTROL）：透明模式的服务器请用 tcp://</translation>
    </message>
    <message>
        <location filename="../portwords.cpp" line="0"/>
        <source>%1 did not acknowledge the line speed</source>
        <translation>%1 未确认波特率</translation>
    </message>
    <message>
        <location filename="../portwords.cpp" line="0"/>
        <source>%1 sent bytes that are not Modbus TCP</source>
        <translation>%1 发来的数据不是 Modbus TCP</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="0"/>
        <source>the address frames need a transparent link: use tcp:// or rfc2217://</source>
        <translation>地址帧需要透明链路：请使用 tcp:// 或 rfc2217://</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="0"/>
        <source>%1: the line speed is the server&apos;s; scanning at that one only</source>
        <translation>%1：波特率由服务器决定；只按该波特率扫描</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="0"/>
        <source>%1: the line speed is the server&apos;s; trying that one only</source>
        <translation>%1：波特率由服务器决定；只试该波特率</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="0"/>
        <source>%1 unit %2 ...</source>
        <translation>%1 单元 %2 …</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="0"/>
        <source>%1  the server&apos;s line speed  address %2</source>
        <translation>%1  服务器的波特率  地址 %2</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="0"/>
        <source>scanning %1 ports ...</source>
        <translation>正在扫描 %1 个端口 …</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="0"/>
        <source>address %1  the server&apos;s line speed</source>
        <translation>地址 %1  服务器的波特率</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="0"/>
        <source>the server runs the line at %1 bit/s, not at the %2 chosen</source>
        <translation>服务器把波特率设为 %1，与所选 %2 不符</translation>
    </message>
    <message>
        <location filename="../runner.cpp" line="0"/>
        <source>damaged replies at address %1  the server&apos;s line speed: %2</source>
        <translation>地址 %1 的应答损坏  服务器的波特率：%2</translation>
    </message>
</context>
</TS>
