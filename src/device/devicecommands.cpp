// The thirteen command buttons: each names its command, one helper does the rest.
#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <QValidator>

#include <optional>

using quarvex::Command;
using quarvex::Field;

namespace {

// Which box holds the value a command sends besides the address.
struct ValueBox
{
    Command command;
    QLineEdit *Ui::MainWindow::*box;
};

constexpr ValueBox kValueBoxes[] = {
    {Command::Motor1Forward, &Ui::MainWindow::lineEditMotor1Follow},
    {Command::Motor1Reverse, &Ui::MainWindow::lineEditMotor1Back},
    {Command::Motor1Frequency, &Ui::MainWindow::lineEditMotor1Freq},
    {Command::Motor2Forward, &Ui::MainWindow::lineEditMotor2Follow},
    {Command::Motor2Reverse, &Ui::MainWindow::lineEditMotor2Back},
    {Command::Motor2Frequency, &Ui::MainWindow::lineEditMotor2Freq},
};

} // namespace

namespace {

// A box's value when its own validator takes the text as complete: what the user
// could type is exactly what is sent.
std::optional<quint32> boxValue(Field field, const QLineEdit *box)
{
    const QValidator *validator = box->validator();
    QString text = box->text();
    int pos = 0;
    if (!validator || validator->validate(text, pos) != QValidator::Acceptable)
        return std::nullopt;
    bool ok = false;
    const quint32 v = validator->locale().toUInt(text, &ok);
    if (!ok || !quarvex::fieldAccepts(field, v))
        return std::nullopt;
    return v;
}

} // namespace

void MainWindow::runCommand(Command command)
{
    if (!portOpen())
        return;

    // Refuse anything a box's validator would not accept as complete: an empty
    // address would broadcast to every module on the bus.
    const auto refuse = [this](Field field, QWidget *box) {
        appendLog(tr("输入无效：") + quarvex::fieldProblem(field) + QLatin1Char('\n'));
        box->setFocus();
    };

    const auto address = boxValue(Field::Address, ui->lineEdit_addr);
    if (!address) {
        refuse(Field::Address, ui->lineEdit_addr);
        return;
    }

    quint32 value = 0;
    const Field field = quarvex::commandValueField(command);
    if (field == Field::LineSpeed) {
        // A list of the nine speeds, not a typed entry.
        const auto speed = quarvex::parseField(field, ui->comboSetBaud->currentText());
        if (!speed) {
            refuse(field, ui->comboSetBaud);
            return;
        }
        value = *speed;
    } else if (field != Field::None) {
        QLineEdit *box = nullptr;
        for (const ValueBox &entry : kValueBoxes)
            if (entry.command == command)
                box = ui->*entry.box;
        const auto parsed = box ? boxValue(field, box) : std::nullopt;
        if (!parsed) {
            refuse(field, box ? static_cast<QWidget *>(box) : ui->lineEdit_addr);
            return;
        }
        value = *parsed;
    }
    sendFrame(quarvex::buildCommand(command, quint8(*address), value));
}

void MainWindow::on_btnM1Follow_clicked()
{
    runCommand(Command::Motor1Forward);
}
void MainWindow::on_btnM1Back_clicked()
{
    runCommand(Command::Motor1Reverse);
}
void MainWindow::on_btnM1Stop_clicked()
{
    runCommand(Command::Motor1Stop);
}
void MainWindow::on_btnM1Break_clicked()
{
    runCommand(Command::Motor1Brake);
}
void MainWindow::on_btnM1Freq_clicked()
{
    runCommand(Command::Motor1Frequency);
}
void MainWindow::on_btnM2Follow_clicked()
{
    runCommand(Command::Motor2Forward);
}
void MainWindow::on_btnM2Back_clicked()
{
    runCommand(Command::Motor2Reverse);
}
void MainWindow::on_btnM2Stop_clicked()
{
    runCommand(Command::Motor2Stop);
}
void MainWindow::on_btnM2Break_clicked()
{
    runCommand(Command::Motor2Brake);
}
void MainWindow::on_btnM2Freq_clicked()
{
    runCommand(Command::Motor2Frequency);
}
void MainWindow::on_btnWriteAddr_clicked()
{
    runCommand(Command::WriteAddress);
}
void MainWindow::on_btnSystem_clicked()
{
    runCommand(Command::ReadAll);
}
void MainWindow::on_btnSetBaud_clicked()
{
    runCommand(Command::SetLineSpeed);
}
