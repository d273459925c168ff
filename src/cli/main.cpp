// quarvexctl: the module from the command line.
#include "commandtable.h"
#include "console.h"
#include "context.h"
#include "invocation.h"
#include "report.h"

#include <QCoreApplication>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quarvexctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARVEX_VERSION));

    using namespace quarvex::cli;
    const ConsoleSession console;
    QTranslator translator;
    if (prefersChinese() && translator.load(QStringLiteral(":/i18n/quarvexctl_zh_CN.qm")))
        QCoreApplication::installTranslator(&translator);

    const Parsed parsed =
        parseArguments(QCoreApplication::arguments(), qEnvironmentVariable("QUARVEX_PORT"));
    switch (parsed.action) {
    case Parsed::Help:
        std::fputs(consoleBytes(parsed.text).constData(), stdout);
        return code(ExitStatus::Done);
    case Parsed::Version:
        std::printf("quarvexctl %s\n", QUARVEX_VERSION);
        return code(ExitStatus::Done);
    case Parsed::Error:
        std::fprintf(stderr, "quarvexctl: %s\n%s\n", consoleBytes(parsed.text).constData(),
                     consoleBytes(Cli::tr("Try 'quarvexctl --help'.")).constData());
        // A script reading stdout gets an answer even when the command line was wrong.
        if (QCoreApplication::arguments().contains(QStringLiteral("--json")))
            std::puts(compact(errorJson(code(ExitStatus::Usage), parsed.text)).constData());
        return code(ExitStatus::Usage);
    case Parsed::Run:
        break;
    }

    const Invocation &inv = parsed.invocation;
    if (inv.verbose)
        showTrace();
    Context context(inv);
    CommandGroup *command = commandSpec(inv.verb).create(&context);
    routeInterrupt(&context, [command](ExitStatus status) { command->interrupt(status); });
    QTimer::singleShot(0, command, &CommandGroup::start);
    return app.exec();
}
