"""Self-test of the registry readers (run by tests/e2e/run before any scenario,
or alone: python3 -m unittest e2elib.test_regtext from tests/e2e)."""
import unittest

from . import regtext

PADDED = "C:\\PTC\\creo1".encode() + b"\0" * 248   # 260 bytes, as the library stores records


class WineHive(unittest.TestCase):
    def test_padded_string_escapes_and_continuation(self):
        hive = ("WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n"
                "[Software\\\\Kestrane\\\\Orvella] 1796565931\n#time=1dd858b2e31f2a4\n"
                '"Install_CREO1_dir"="C:\\\\PTC\\\\creo1' + "\\0" * 247 + '"\n'
                '"Odd \\"name\\""="tab\\there\\x00e9\\0012"\n'
                '"Expand"=str(2):"%ProgramData%\\\\x"\n'
                '"Count"=dword:0000002a\n'
                '"Raw"=hex(1):41,00,42,00,\\\n  43,00\n'
                '@="default"\n\n'
                "[Software\\\\Other] 1\n\"Skip\"=\"me\"\n")
        reg = regtext.parse_wine_hive(hive, ["SOFTWARE\\Kestrane"])
        values = reg.under("SOFTWARE\\Kestrane")
        key = "software\\kestrane\\orvella"
        self.assertEqual(values[(key, "install_creo1_dir")], (regtext.REG_SZ, PADDED))
        self.assertEqual(values[(key, 'odd "name"')], (regtext.REG_SZ, b"tab\there\xe9\x012\0"))
        self.assertEqual(values[(key, "expand")], (regtext.REG_EXPAND_SZ, b"%ProgramData%\\x\0"))
        self.assertEqual(values[(key, "count")], (regtext.REG_DWORD, b"\x2a\0\0\0"))
        self.assertEqual(values[(key, "raw")], (regtext.REG_SZ, b"ABC"))
        self.assertEqual(values[(key, "")], (regtext.REG_SZ, b"default\0"))
        self.assertNotIn("software\\other", reg.values)
        self.assertEqual(reg.spelling(key, "install_creo1_dir"), ("Software\\Kestrane\\Orvella", "Install_CREO1_dir"))

    def test_strings_read_as_the_code_page_gives_them(self):
        # A Japanese value name and a German folder, in UTF-16 as Wine keeps them, read in code pages 932 and 1252.
        hive = ("WINE REGISTRY Version 2\n\n[Software\\\\Kestrane\\\\Orvella] 1\n"
                '"Before c:\\\\\\x8a2d\\x8a08\\x56f3\\x8868"="C:\\\\M\\x00fcller"\n')
        japanese = regtext.parse_wine_hive(hive, codec="cp932").under("SOFTWARE")
        western = regtext.parse_wine_hive(hive, codec="cp1252").under("SOFTWARE")
        name = ("software\\kestrane\\orvella", "before c:\\\u8a2d\u8a08\u56f3\u8868")
        self.assertEqual(western[name], (regtext.REG_SZ, b"C:\\M\xfcller\0"))
        self.assertEqual(japanese[name], (regtext.REG_SZ, b"C:\\M\\xfcller\0"))  # no ü in 932
        self.assertEqual(regtext.show((regtext.REG_SZ, b"C:\\\x95\x5c\0"), "cp932"), "REG_SZ 'C:\\\\\u8868' (6 bytes)")


class RegeditFile(unittest.TestCase):
    def test_version5_hex1_is_utf16_and_regedit4_is_ansi(self):
        wide = ",".join(f"{b:02x}" for b in PADDED.decode().encode("utf-16-le"))
        reg = regtext.parse("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane]\n"
                            f'"A"=hex(1):{wide[:60]}\\\n  {wide[60:]}\n"B"="C:\\\\x"\n')
        values = reg.under("SOFTWARE\\Kestrane")
        self.assertEqual(values[("software\\kestrane", "a")], (regtext.REG_SZ, PADDED))
        self.assertEqual(values[("software\\kestrane", "b")], (regtext.REG_SZ, b"C:\\x\0"))
        reg4 = regtext.parse('REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane]\n"A"=hex(1):41,42,00\n')
        self.assertEqual(reg4.under("SOFTWARE")[("software\\kestrane", "a")], (regtext.REG_SZ, b"AB\0"))

    def test_show_makes_padding_readable(self):
        self.assertEqual(regtext.show((regtext.REG_SZ, PADDED)), "REG_SZ 'C:\\\\PTC\\\\creo1' (260 bytes)")
        self.assertEqual(regtext.show((regtext.REG_SZ, b"ab")), "REG_SZ 'ab' (2 bytes, no terminating zero)")
        self.assertIn("b'a\\x00b\\x00'", regtext.show((regtext.REG_SZ, b"a\0b\0")))


if __name__ == "__main__":
    unittest.main()
