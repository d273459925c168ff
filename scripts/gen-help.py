#!/usr/bin/env python3
"""Writes resources/help.html, the module's user and protocol document.

The output is the rich-text HTML that Qt's own editor writes, so the dialog shows
it exactly as laid out here. Every example frame is assembled and given its
CRC-16 here; none is typed in by hand.

    python3 scripts/gen-help.py [output]
"""

import html
import os
import sys

# --- frames ------------------------------------------------------------------


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def frame(*parts):
    """Bytes (ints or byte lists) completed with the CRC, low byte first, as hex text."""
    data = []
    for p in parts:
        data.extend(p if isinstance(p, (list, tuple)) else [p])
    crc = crc16(data)
    data += [crc & 0xFF, crc >> 8]
    return " ".join("%02X" % b for b in data)


def be16(v):
    return [(v >> 8) & 0xFF, v & 0xFF]


def be32(v):
    return be16(v >> 16) + be16(v & 0xFFFF)


ADDR = 0x01


def read_regs(first, count, a=ADDR):
    return frame(a, 0x03, be16(first), be16(count))


def read_reply(values, a=ADDR):
    data = []
    for v in values:
        data += be16(v)
    return frame(a, 0x03, len(data), data)


def write_reg(reg, value, a=ADDR):
    return frame(a, 0x06, be16(reg), be16(value))


def write_pair(first, value, a=ADDR):
    return frame(a, 0x10, be16(first), be16(2), 4, be32(value))


def write_reply(first, count, a=ADDR):
    return frame(a, 0x10, be16(first), be16(count))


LINE_SPEEDS = [1200, 2400, 4800, 9600, 14400, 19200, 57600, 115200, 128000]
REG_SPEED = 0x00
MOTORS = {  # frequency (pair), direction, speed, brake, alarm
    1: dict(freq=0x02, dir=0x04, speed=0x05, brake=0x06, alarm=0x0C),
    2: dict(freq=0x07, dir=0x09, speed=0x0A, brake=0x0B, alarm=0x0D),
}

# --- rich text ---------------------------------------------------------------

SONG = "宋体"
P_STYLE = (" margin-top:12px; margin-bottom:12px; margin-left:0px; margin-right:0px;"
           " -qt-block-indent:0; text-indent:0px;")
TD_STYLE = " vertical-align:top; padding-left:0; padding-right:0; padding-top:0; padding-bottom:0;"
TABLE_STYLE = " margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"


def is_cjk(ch):
    o = ord(ch)
    return (0x2E80 <= o <= 0x9FFF or 0xF900 <= o <= 0xFAFF or 0xFE30 <= o <= 0xFE4F
            or 0xFF00 <= o <= 0xFFEF or ch in "“”‘’—…")


class Seg:
    """A piece of a paragraph. song=False keeps Chinese text in the body family."""

    def __init__(self, text, bold=False, song=True):
        self.text, self.bold, self.song = text, bold, song


def span_style(cjk, seg):
    s = ""
    if cjk and seg.song:
        s += " font-family:'%s';" % SONG
    s += " font-size:12pt;"
    if seg.bold:
        s += " font-weight:600;"
    return s


def spans(segs):
    runs = []  # [style, text]
    for seg in segs:
        cjk = None
        for ch in seg.text:
            if not ch.isspace():
                cjk = is_cjk(ch)
            style = span_style(bool(cjk), seg)
            if runs and runs[-1][0] == style:
                runs[-1][1] += ch
            else:
                runs.append([style, ch])
    return "".join('<span style="%s">%s</span>' % (st, html.escape(t, quote=True))
                   for st, t in runs)


def as_segs(content, bold=False):
    if isinstance(content, str):
        return [Seg(content, bold)]
    return content


def para(content, bold=False, center=False):
    align = ' align="center"' if center else ""
    return '<p%s style="%s">%s</p>' % (align, P_STYLE, spans(as_segs(content, bold)))


def empty_para():
    return '<p style="-qt-paragraph-type:empty;%s"><br /></p>' % P_STYLE


def table(rows, widths, center_cols=(), center_header=False):
    out = ['<table border="1" style="%s" cellspacing="0" cellpadding="0">' % TABLE_STYLE]
    for r, row in enumerate(rows):
        out.append("<tr>")
        for c, cell in enumerate(row):
            width = ' width="%d"' % widths[c] if r == 0 else ""
            center = c in center_cols or (r == 0 and center_header)
            out.append('<td%s style="%s">' % (width, TD_STYLE))
            out.append(para(cell, bold=(r == 0 and center_header), center=center) + "</td>")
        out[-1] += "</tr>"
    out[-1] += "</table>"
    return "\n".join(out)


def numbered(numeral, title):
    """A bold heading whose numeral stays in the body family."""
    return para([Seg(numeral, True, song=False), Seg(title, True)])


# --- content -----------------------------------------------------------------

DEFAULTS = [
    "地址：1",
    "串口波特率：9600",
    "串口数据位：8",
    "串口停止位：1",
    "串口校验位：无",
    "串口流控：无",
    "电机方向：正向",
    "PWM频率：10000HZ",
    "电机速度：0",
    "电机刹车：关闭",
]

INDICATOR = [
    "正常运行状态：指示灯为周期为1S均匀闪烁",
    "电机1电流过载：指示灯为周期为1S快闪",
    "电机2电流过载：指示灯为周期为1S闪烁两次",
    "电机1、2电流过载：指示灯为周期为1S闪烁三次",
]

USAGE = [
    "1. 用RS485转换器正确连接控制模块与电脑，然后打开本软件。",
    "2. 模块出厂波特率为9600。软件会自动扫描电脑上的串口，在“串口号”中选择转换器对应的串口，"
    "点击“打开串口”。若以9600打开串口后其它按钮仍为灰色（锁定），请先检查串口是否选择正确，"
    "再依次选择其它波特率尝试打开串口。",
    "3. 电脑与模块连接正确后，软件会自动读回模块当前的RS485地址并显示在地址框中，相关按钮随之可以使用。"
    "若读不回地址，请检查之前是否修改过模块的波特率。",
    "4. 如需电机1正转，在电机1正转按钮旁的输入框中输入速度，例如50，再点击“正转”；其它按钮的用法与此相同。",
    "5. 修改后的从机地址和波特率保存在模块中，掉电不丢失。",
]


def example(label, request, reply=None, note=None):
    """A labelled request and, if given, the module's reply."""
    out = [para(label)]
    out.append(para("发送：" + request))
    if reply is not None:
        out.append(para("返回：" + reply + (note or "")))
    return out


def layout(fields):
    """A frame layout: field, width in bytes, byte order; the CRC closes every frame."""
    return table(fields + [["CRC校验码", "2字节", "低字节在前，高字节在后"]],
                 [189, 189, 189])


ONE = "单字节"
HIGH = "高字节在前，低字节在后"


def document():
    body = []
    add = body.append
    ext = body.extend

    add(para([Seg("Quarvex通信协议 V2.0", True, song=False)]))

    add(para("软件使用：", bold=True))
    for line in USAGE:
        add(para([Seg(line, song=False)]))
    add(empty_para())

    add(numbered("一、", "电气参数"))
    add(para("供电电压：DC 8V~24V"))
    add(para("输出电流：每路最大持续电流3A"))
    add(para("使用环境：周围无可燃性气体及导电尘埃"))
    add(empty_para())

    add(numbered("二、", "模块初始参数"))
    for line in DEFAULTS:
        add(para(line))
    add(empty_para())

    add(numbered("三、", "恢复出厂设置"))
    steps = [
        "按住模块上的恢复出厂设置按键，同时给模块上电；",
        "指示灯快速闪烁后，松开按键；",
        "指示灯恢复正常闪烁，模块参数即恢复为出厂设置。",
    ]
    for i, step in enumerate(steps, 1):
        add(para([Seg("%d、" % i, song=False), Seg(step)]))
    add(empty_para())

    add(numbered("四、", "状态灯指示"))
    for line in INDICATOR:
        add(para(line))
    add(empty_para())

    add(numbered("五、", "通讯协议"))
    add(para("通讯接口：RS485，数据位8位，停止位1位，无校验，无流控。"))
    add(para("支持波特率：" + "、".join(str(s) for s in LINE_SPEEDS) + "，出厂为9600。"))
    add(para("每帧最后两个字节为CRC校验码（CRC-16/MODBUS，初值FFFF，多项式A001），"
             "由前面所有字节算出，低字节在前，高字节在后。以下帧均以十六进制表示。"))
    add(empty_para())

    add(para("1. 读写设备地址", bold=True))
    add(para("1.1 读设备地址", bold=True))
    add(para("发送：00 20 CRC"))
    add(para("返回：00 20 设备地址 CRC"))
    add(para("说明：读写设备地址的帧固定发往地址0，设备地址为1个字节，范围0~255。"
             "模块无论当前地址为何都会应答，可用于查找模块。"))
    ext(example("例：读取设备地址", frame(0x00, 0x20), frame(0x00, 0x20, 0x01), "（设备地址为1）"))
    add(empty_para())

    add(para("1.2 写设备地址", bold=True))
    add(para("发送：00 10 新地址 CRC"))
    add(para("返回：00 10 CRC（固定为%s）" % frame(0x00, 0x10)))
    add(para("说明：读写设备地址的帧固定发往地址0，设备地址为1个字节，范围0~255。"
             "返回帧中不含地址，新地址保存在模块中，掉电不丢失。"))
    ext(example("例：将设备地址设为1", frame(0x00, 0x10, 0x01), frame(0x00, 0x10)))
    add(empty_para())

    add(para("2. 读写模块参数", bold=True))
    add(para("模块参数通过Modbus RTU协议读写，支持功能码03（读寄存器）、06（写单个寄存器）和10（写多个寄存器）。"
             "每个寄存器16位；寄存器地址、寄存器个数和寄存器数值均为高字节在前；"
             "32位参数占两个相邻寄存器，高16位在前一个寄存器中。"))
    reg_rows = [
        ["参数", "寄存器位置（十六进制）", "字节顺序"],
        ["波特率", "00~01", "4字节，高字节在前"],
        ["电机1 PWM频率", "02~03", "4字节，高字节在前"],
        ["电机1方向", "04", "2字节，高字节在前"],
        ["电机1速度", "05", "2字节，高字节在前"],
        ["电机1刹车", "06", "2字节，高字节在前"],
        ["电机2 PWM频率", "07~08", "4字节，高字节在前"],
        ["电机2方向", "09", "2字节，高字节在前"],
        ["电机2速度", "0A", "2字节，高字节在前"],
        ["电机2刹车", "0B", "2字节，高字节在前"],
        ["电机1电流报警", "0C", "2字节，高字节在前"],
        ["电机2电流报警", "0D", "2字节，高字节在前"],
    ]
    add(table(reg_rows, [121, 104, 189], center_cols=(2,), center_header=True))
    add(empty_para())

    add(para("2.1 功能码03：读寄存器", bold=True))
    add(para("主机发送（8字节）："))
    add(layout([["从机地址", "1字节", ONE],
                ["功能码03", "1字节", ONE],
                ["起始寄存器地址", "2字节", HIGH],
                ["寄存器个数N", "2字节", HIGH]]))
    add(para("从机返回（5+2N字节）："))
    add(layout([["从机地址", "1字节", ONE],
                ["功能码03", "1字节", ONE],
                ["字节数2N", "1字节", ONE],
                ["寄存器数值", "2N字节", "按寄存器顺序，每个寄存器高字节在前"]]))
    add(empty_para())

    add(para("2.2 功能码06：写单个寄存器；功能码10：写多个寄存器", bold=True))
    add(para("功能码06，主机发送（8字节）："))
    add(layout([["从机地址", "1字节", ONE],
                ["功能码06", "1字节", ONE],
                ["寄存器地址", "2字节", HIGH],
                ["寄存器数值", "2字节", HIGH]]))
    add(para("功能码06，从机返回（8字节，与发送帧相同）："))
    add(layout([["从机地址", "1字节", ONE],
                ["功能码06", "1字节", ONE],
                ["寄存器地址", "2字节", HIGH],
                ["寄存器数值", "2字节", HIGH]]))
    add(para("功能码10，主机发送（9+2N字节）："))
    add(layout([["从机地址", "1字节", ONE],
                ["功能码10", "1字节", ONE],
                ["起始寄存器地址", "2字节", HIGH],
                ["寄存器个数N", "2字节", HIGH],
                ["字节数2N", "1字节", ONE],
                ["寄存器数值", "2N字节", "按寄存器顺序，每个寄存器高字节在前"]]))
    add(para("功能码10，从机返回（8字节）："))
    add(layout([["从机地址", "1字节", ONE],
                ["功能码10", "1字节", ONE],
                ["起始寄存器地址", "2字节", HIGH],
                ["寄存器个数N", "2字节", HIGH]]))
    add(empty_para())

    add(para("3. 波特率（地址=01为例）", bold=True))
    add(para("波特率寄存器为00~01，32位数值即波特率本身，用功能码10写入。新的波特率保存在模块中，模块重启后生效。"))
    for s in LINE_SPEEDS:
        add(para("设置波特率%d：%s" % (s, write_pair(REG_SPEED, s))))
    add(para("返回：" + write_reply(REG_SPEED, 2)))
    add(empty_para())

    add(para("4. 电机PWM频率（地址=01为例）", bold=True))
    add(para("PWM频率范围：1000~10000Hz，32位数值。电机1寄存器为02~03，电机2寄存器为07~08。"))
    for m in (1, 2):
        reg = MOTORS[m]["freq"]
        ext(example("读电机%d PWM频率：" % m, read_regs(reg, 2), read_reply([0, 10000]),
                    "（10000Hz）"))
    for m in (1, 2):
        reg = MOTORS[m]["freq"]
        ext(example("设置电机%d PWM频率为10000Hz：" % m, write_pair(reg, 10000), write_reply(reg, 2)))
    add(empty_para())

    add(para("5. 电机方向（地址=01为例）", bold=True))
    add(para("0：正转，1：反转。电机1寄存器为04，电机2寄存器为09。"))
    for m in (1, 2):
        reg = MOTORS[m]["dir"]
        add(para("读电机%d方向：" % m))
        add(para("发送：" + read_regs(reg, 1)))
        add(para("返回：" + read_reply([0]) + "（正转）"))
        add(para("返回：" + read_reply([1]) + "（反转）"))
    for m in (1, 2):
        reg = MOTORS[m]["dir"]
        ext(example("设置电机%d正转：" % m, write_reg(reg, 0), write_reg(reg, 0)))
        ext(example("设置电机%d反转：" % m, write_reg(reg, 1), write_reg(reg, 1)))
    add(empty_para())

    add(para("6. 电机速度（PWM占空比）（地址=01为例）", bold=True))
    add(para("速度范围：0~100，单位%。0为停止，100为全速。电机1寄存器为05，电机2寄存器为0A。"))
    for m in (1, 2):
        reg = MOTORS[m]["speed"]
        ext(example("读电机%d速度：" % m, read_regs(reg, 1), read_reply([50]), "（速度50）"))
    for m in (1, 2):
        reg = MOTORS[m]["speed"]
        ext(example("设置电机%d速度为50：" % m, write_reg(reg, 50), write_reg(reg, 50)))
    add(empty_para())

    add(para("7. 电机刹车（地址=01为例）", bold=True))
    add(para("写入1使电机刹车。电机1寄存器为06，电机2寄存器为0B。"))
    for m in (1, 2):
        reg = MOTORS[m]["brake"]
        ext(example("设置电机%d刹车：" % m, write_reg(reg, 1), write_reg(reg, 1)))
    add(empty_para())

    add(para("8. 设置清除电流报警", bold=True))
    add(para("电机电流超过3.5A时，模块进入报警状态并停止该电机；报警清除之前，写该电机的参数无效。"
             "清除报警后，该电机的参数恢复为上电时的数值，需要重新启动电机。"))
    add(para("报警标志：电机1寄存器为0C，电机2寄存器为0D；0为正常，1为电流过载；写入0清除报警。"))
    for m in (1, 2):
        reg = MOTORS[m]["alarm"]
        add(para("读电机%d报警标志：" % m))
        add(para("发送：" + read_regs(reg, 1)))
        add(para("返回：" + read_reply([0]) + "（正常）"))
        add(para("返回：" + read_reply([1]) + "（电流过载）"))
    for m in (1, 2):
        reg = MOTORS[m]["alarm"]
        ext(example("清除电机%d报警：" % m, write_reg(reg, 0), write_reg(reg, 0)))
    add(empty_para())

    head = ('<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.0//EN" "http://www.w3.org/TR/REC-html40/strict.dtd">\n'
            '<html><head><meta name="qrichtext" content="1" /><style type="text/css">\n'
            'p, li { white-space: pre-wrap; }\n'
            "</style></head><body style=\" font-family:'SimSun'; font-size:9pt; font-weight:400; font-style:normal;\">\n")
    return head + "\n".join(body) + "</body></html>"


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "resources", "help.html")
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        f.write(document())


if __name__ == "__main__":
    main()
