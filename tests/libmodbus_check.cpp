// A Modbus TCP client that is not ours: libmodbus, for the virtual module's gateway face.
// Usage: libmodbus_check PORT "UNIT read REG COUNT" | "UNIT write REG VALUE" ...
// One line a command on stdout: the registers read, "ok", the exception, or "no answer".
#include <modbus.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char *argv[])
{
    if (argc < 2)
        return 2;
    modbus_t *ctx = modbus_new_tcp("127.0.0.1", std::atoi(argv[1]));
    if (!ctx || modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "connect: %s\n", modbus_strerror(errno));
        return 1;
    }
    modbus_set_response_timeout(ctx, 2, 0);
    for (int i = 2; i < argc; ++i) {
        int unit = 0, reg = 0, n = 0;
        char verb[8] = {};
        if (std::sscanf(argv[i], "%d %7s %d %d", &unit, verb, &reg, &n) != 4)
            return 2;
        modbus_set_slave(ctx, unit);
        // Nothing comes back from a broadcast: no point waiting long for it.
        if (unit == 0)
            modbus_set_response_timeout(ctx, 0, 300000);
        uint16_t regs[125] = {};
        const bool read = std::strcmp(verb, "read") == 0;
        const int rc = read ? modbus_read_registers(ctx, reg, n, regs)
                            : modbus_write_register(ctx, reg, uint16_t(n));
        std::string line = std::string(argv[i]) + ": ";
        if (rc < 0)
            line += errno == ETIMEDOUT ? "no answer" : modbus_strerror(errno);
        else if (!read)
            line += "ok";
        for (int r = 0; read && r < rc; ++r) {
            char word[6];
            std::snprintf(word, sizeof word, r ? " %04x" : "%04x", regs[r]);
            line += word;
        }
        std::printf("%s\n", line.c_str());
        modbus_set_response_timeout(ctx, 2, 0);
    }
    modbus_close(ctx);
    modbus_free(ctx);
    return 0;
}
