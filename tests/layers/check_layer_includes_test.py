#!/usr/bin/env python3
"""Self-test of check_layer_includes.py: plants includes in a small source tree and runs the checker."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

CHECKER = pathlib.Path(__file__).with_name("check_layer_includes.py")

# A tree whose includes all run the right way.
GOOD_TREE = {
    "src/base/Texts.h": "#pragma once\n#include <QString>\n",
    "src/device/Exchange.h": '#include "base/Texts.h"\n',
    "src/archive/TableFill.cpp": '#include "archive/TableFill.h"\n#include "device/Exchange.h"\n',
    "src/graph/GraphModel.cpp": '#include "archive/TableFill.h"\n#include "base/Texts.h"\n',
    "src/app/TForm1.cpp": '#include "graph/GraphModel.h"\n#include "screenshot/TForm5.h"\n',
    "src/cli/CliCommands.cpp": '#include "export/SpreadsheetExport.h"\n#include "Local.h"\n',
    "sim/SimUsb.cpp": '#include "SimScenario.h"\n#include <usb.h>\n',
    "src/base/CMakeLists.txt": "velda_core_library(velda_base SOURCES Texts.cpp)\n",
    "src/archive/CMakeLists.txt": "velda_core_library(velda_archive\n    SOURCES TableFill.cpp\n"
                                  "    DEPENDS velda_base Qt6::Core)\n",
    "src/graph/CMakeLists.txt": "# links velda_app only in this comment\n"
                                "velda_core_library(velda_graph SOURCES GraphModel.cpp DEPENDS velda_archive)\n",
    "src/app/CMakeLists.txt": "velda_core_library(velda_app SOURCES TForm1.cpp DEPENDS velda_graph)\n"
                              "add_executable(velda9 main.cpp)\n"
                              "target_link_libraries(velda9 PRIVATE velda_app velda_gui)\n",
    "src/cli/CMakeLists.txt": "add_library(velda_cli STATIC CliCommands.cpp)\n"
                              "target_link_libraries(velda_cli PUBLIC velda_graph $<TARGET_NAME:x>)\n",
}


def run_checker(extra):
    with tempfile.TemporaryDirectory() as root:
        for relative, text in {**GOOD_TREE, **extra}.items():
            path = pathlib.Path(root, relative)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text, encoding="utf-8")
        done = subprocess.run([sys.executable, str(CHECKER), root], capture_output=True, text=True)
        return done.returncode, done.stdout


class LayerIncludesCheck(unittest.TestCase):
    def test_right_way_tree_passes(self):
        code, out = run_checker({})
        self.assertEqual(code, 0, out)

    def test_wrong_way_includes_fail(self):
        cases = [
            ("base reaches up to app", "src/base/SortTable.cpp", '#include "app/MainTexts.h"\n'),
            ("device includes archive", "src/device/Exchange.cpp", '#include "archive/ArchiveTable.h"\n'),
            ("archive reaches up to export", "src/archive/ProjectFile.h", '#include "export/SheetPlan.h"\n'),
            ("graph includes app", "src/graph/GraphModel.cpp", '#include "app/SortTable.h"\n'),
            ("export beside graph", "src/export/ReportLines.cpp", '#include "graph/Envelope.h"\n'),
            ("cli includes app", "src/cli/CliCommands.cpp", '#include "app/ChannelLayout.h"\n'),
            ("app includes cli", "src/app/main.cpp", '#include "cli/CliArguments.h"\n'),
            ("angle brackets", "src/device/Protocol.h", "#include <app/Texts.h>\n"),
            ("inside a conditional", "src/screenshot/TForm5.cpp",
             '#ifdef X\n#  include "cli/CliExchange.h"\n#endif\n'),
            ("relative path out of the folder", "src/device/ShowStatus.h", '#include "../app/Texts.h"\n'),
            ("simulator includes the program", "sim/SimArchive.cpp", '#include "device/Protocol.h"\n'),
            ("folder with no layer", "src/report/Page.cpp", '#include "base/Texts.h"\n', "src/report:"),
            ("graph DEPENDS on app", "src/graph/CMakeLists.txt",
             "velda_core_library(velda_graph\n    SOURCES GraphModel.cpp\n    DEPENDS velda_archive velda_app)\n",
             "src/graph/CMakeLists.txt:3:"),
            ("base links archive", "src/base/CMakeLists.txt",
             "velda_core_library(velda_base SOURCES Texts.cpp PUBLIC_LIBS velda_archive)\n",
             "src/base/CMakeLists.txt:1:"),
            ("cli links app", "src/cli/CMakeLists.txt",
             "add_library(velda_cli STATIC CliCommands.cpp)\ntarget_link_libraries(velda_cli\n"
             "    PUBLIC velda_graph\n    PRIVATE velda_app)\n", "src/cli/CMakeLists.txt:4:"),
        ]
        for name, path, text, *named in cases:
            with self.subTest(name):
                code, out = run_checker({path: text})
                self.assertEqual(code, 1, out)
                # The report names the offending file and line (or the folder without a layer).
                self.assertIn(named[0] if named else path + ":", out)


if __name__ == "__main__":
    unittest.main()
