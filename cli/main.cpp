// quelvor-cli: converts I/Q waveform files to ".wv" waveform files from the command line.

#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char **argv)
{
    CLI::App app{"Converts I/Q waveform files of almost any layout into .wv waveform files.", "quelvor-cli"};
    app.set_version_flag("--version", std::string("quelvor-cli ") + QUELVOR_VERSION);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        const int code = app.exit(error);
        return code == 0 ? 0 : 2;
    }
    std::cout << app.help();
    return 0;
}
