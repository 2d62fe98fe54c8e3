#!/usr/bin/env python3
"""The layering check finds the includes that break the layering, and only those: small
trees laid out in a temporary folder, each with the includes of one kind of case."""

import contextlib
import io
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layering  # noqa: E402


class LayeringCheckTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = os.path.join(self.tmp.name, "src")
        # A stand-in for Qt's include folder: a few headers of three modules.
        self.qt = os.path.join(self.tmp.name, "qt")
        for module, names in {"QtCore": ["QString", "QTimer"], "QtWidgets": ["QWidget"], "QtGui": ["QImage"]}.items():
            os.makedirs(os.path.join(self.qt, module))
            for name in names:
                open(os.path.join(self.qt, module, name), "w").close()

    def tearDown(self):
        self.tmp.cleanup()

    def tree(self, files):
        for path, includes in files.items():
            full = os.path.join(self.root, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w") as f:
                f.write("// a file\n" + "".join(f"#include {i}\n" for i in includes) + "int x;\n")

    def run_check(self):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            status = check_layering.main(["--root", self.root, "--qt-headers", self.qt])
        lines = [l for l in out.getvalue().splitlines() if not l.startswith("layering:")]
        return status, lines

    def test_the_table_names_only_layers_it_has(self):
        self.assertEqual(check_layering.check_table(check_layering.LAYERS), [])

    def test_a_lower_layer_that_includes_a_higher_one_is_named_with_file_and_line(self):
        self.tree({
            "serial/comport/com_port.cpp": ['"serial/comport/com_port.h"', '"app/settings/settings.h"'],
            "serial/comport/com_port.h": ['"serial/errors/exceptions.h"'],
            "platform/ini_file.cpp": ['"table_engine/table.h"'],
            "table_engine/table.cpp": ['"serial/errors/error_codes.h"', '"platform/text.h"'],
            "serial/dispatcher/dispatcher.cpp": ['"serial/comport/com_port.h"'],
        })
        status, lines = self.run_check()
        self.assertEqual(status, 1)
        self.assertEqual(sorted(lines), [
            'platform/ini_file.cpp:2: platform may not include "table_engine/table.h" (table_engine)',
            'serial/comport/com_port.cpp:3: serial comport may not include "app/settings/settings.h" (app data)',
            'serial/dispatcher/dispatcher.cpp:2: serial may not include "serial/comport/com_port.h" (serial comport)',
            'table_engine/table.cpp:2: table_engine may not include "serial/errors/error_codes.h" (serial errors)',
        ])

    def test_a_tree_that_keeps_to_its_layers_passes(self):
        self.tree({
            "fax_document/apf_file.cpp": ['"serial/errors/error_codes.h"', '"platform/atomic_file.h"', "<vector>"],
            "fax_engine/class1/frames.cpp": ['"fax_document/t4/t4_codes.h"', '"serial/dispatcher/dispatcher.h"'],
            "fax_engine/components/send_fax.cpp": ['"serial/comport/com_port.h"', "<QTimer>"],
            "app/main_window/main_screen.cpp": ['"app/settings/settings.h"', '"app/lists/column_layout.h"', "<QWidget>"],
            "picker/picker_window.cpp": ['"app/phonebook/phone_book.h"', '"app/ui/form_dialog.h"', "<QtWidgets/QWidget>"],
            "tools/qlfax/cmd_port.cpp": ['"app/settings/settings.h"', '"serial/comport/com_port.h"'],
            "serial/comport/tests/com_port_test.cpp": ['"app/settings/settings.h"', "<QWidget>"],
            "bench/app/bench.cpp": ['"app/main_window/main_screen.h"'],
            "table_engine/fuzz/fuzz_dbf.cpp": ['"tests/support/temp_dir.h"'],
        })
        self.assertEqual(self.run_check(), (0, []))

    def test_the_windows_of_app_are_used_by_nothing_outside_app(self):
        self.tree({
            "picker/main.cpp": ['"app/main_window/main_screen.h"'],
            "tools/qlfax/cmd_x.cpp": ['"app/preferences/preferences.h"'],
            "app/phonebook/phone_book.cpp": ['"app/main_window/main_screen.h"'],
            "app/settings/settings.cpp": ['"app/ui/message_boxes.h"'],
            "app/fax_store/fax_store.cpp": ['"tests/support/temp_dir.h"'],
        })
        status, lines = self.run_check()
        self.assertEqual(status, 1)
        self.assertEqual([l.split(":")[0] for l in sorted(lines)], [
            "app/fax_store/fax_store.cpp", "app/phonebook/phone_book.cpp", "app/settings/settings.cpp",
            "picker/main.cpp", "tools/qlfax/cmd_x.cpp"])

    def test_qt_only_where_its_modules_are_allowed(self):
        self.tree({
            "serial/comport/com_port.cpp": ["<QTimer>", "<QtCore/QObject>", "<QWidget>"],
            "serial/device/device.cpp": ["<QString>"],
            "table_engine/table.cpp": ["<QtCore>"],
            "app/settings/settings.cpp": ["<QString>"],
            "platform/ini_file.cpp": ["<QNotAHeader>", "<termios.h>"],
            "platform/help/help.cpp": ["<QWidget>", "<QImage>"],
        })
        status, lines = self.run_check()
        self.assertEqual(status, 1)
        self.assertEqual(sorted(lines), [
            "app/settings/settings.cpp:2: app data may not include <QString> (QtCore; allowed: no Qt)",
            "platform/ini_file.cpp:2: platform may not include <QNotAHeader> (an unknown Qt module; allowed: no Qt)",
            "serial/comport/com_port.cpp:4: serial comport may not include <QWidget> (QtWidgets; allowed: QtCore)",
            "serial/device/device.cpp:2: serial may not include <QString> (QtCore; allowed: no Qt)",
            "table_engine/table.cpp:2: table_engine may not include <QtCore> (QtCore; allowed: no Qt)",
        ])

    def test_fax_document_rules_hold_in_the_flat_folder_and_in_its_subfolders(self):
        self.tree({
            # Flat files and sub-folders other than the named ones are the core.
            "fax_document/dither.cpp": ["<QImage>"],
            "fax_document/t4/t4_codes.cpp": ['"fax_document/ui/fax_viewer.h"'],
            "fax_document/apf/apf_file.cpp": ['"fax_document/components/fax_converter.h"'],
            "fax_document/convert/converter_core.cpp": ['"fax_document/t4/t4_codes.h"', '"fax_document/apf/apf_file.h"'],
            "fax_document/sources/text_source.cpp": ['"fax_document/export/png_export.h"'],
            # The components may use QtCore, the windows QtWidgets and everything else.
            "fax_document/components/fax_converter.cpp": ["<QTimer>", "<QWidget>", '"fax_document/convert/c.h"'],
            "fax_document/ui/fax_viewer.cpp": ["<QWidget>", '"fax_document/components/fax_converter.h"'],
            "fax_document/export/png_export.cpp": ['"fax_document/unpack/unpacker_core.h"', "<png.h>"],
            "fax_document/reference/libtiff_codec.cpp": ['"fax_document/t4/t4_codes.h"'],
            # Only tests use the reference codec.
            "tools/qlfax/cmd_info.cpp": ['"fax_document/reference/libtiff_codec.h"', '"fax_document/ui/fax_viewer.h"'],
        })
        status, lines = self.run_check()
        self.assertEqual(status, 1)
        self.assertEqual(sorted(lines), [
            'fax_document/apf/apf_file.cpp:2: fax_document may not include "fax_document/components/fax_converter.h"'
            " (fax_document components)",
            "fax_document/components/fax_converter.cpp:3: fax_document components may not include <QWidget>"
            " (QtWidgets; allowed: QtCore)",
            "fax_document/dither.cpp:2: fax_document may not include <QImage> (QtGui; allowed: no Qt)",
            'fax_document/sources/text_source.cpp:2: fax_document may not include "fax_document/export/png_export.h"'
            " (fax_document export)",
            'fax_document/t4/t4_codes.cpp:2: fax_document may not include "fax_document/ui/fax_viewer.h"'
            " (fax_document ui)",
            'tools/qlfax/cmd_info.cpp:2: tools may not include "fax_document/reference/libtiff_codec.h"'
            " (fax_document reference)",
        ])

    def test_the_fax_engine_core_uses_neither_qt_nor_components(self):
        self.tree({
            "fax_engine/session/session.cpp": ['"serial/comport/com_port.h"', '"fax_engine/components/send_fax.h"',
                                               '"fax_document/components/fax_converter.h"', "<QTimer>"],
            "fax_engine/components/send_fax.cpp": ['"app/settings/settings.h"'],
        })
        status, lines = self.run_check()
        self.assertEqual(status, 1)
        self.assertEqual([l.split(":")[1] for l in lines if l.startswith("fax_engine/session/")], ["2", "3", "4", "5"])
        self.assertIn('fax_engine/components/send_fax.cpp:2: fax_engine components may not include '
                      '"app/settings/settings.h" (app data)', lines)

    def test_files_outside_every_layer_and_includes_not_from_the_root_are_reported(self):
        self.tree({
            "gadgets/gadget.cpp": [],
            "platform/clock.cpp": ['"clock.h"'],
        })
        os.makedirs(os.path.join(self.root, "build"))
        open(os.path.join(self.root, "build", "CMakeCache.txt"), "w").close()
        self.tree({"build/app/moc_x.cpp": ['"gadgets/gadget.h"']})  # a build folder is not read
        status, lines = self.run_check()
        self.assertEqual(status, 1)
        self.assertEqual(sorted(lines), [
            "gadgets/gadget.cpp:1: belongs to no layer (add its folder to the table in tests/layering/check_layering.py)",
            'platform/clock.cpp:2: includes "clock.h", which is in no layer (includes are written from the repository'
            " root)",
        ])


if __name__ == "__main__":
    unittest.main()
