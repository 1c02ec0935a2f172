#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into corpus/<target>/ beside this script.

The input layouts are described at the top of each fuzz_<target>.cpp. 0xFF separates parts
(code page 932 never uses that byte); in UTF-16 parts the separator is U+FFFF.
"""

import pathlib
import shutil

HERE = pathlib.Path(__file__).resolve().parent
SEP = b"\xff"


def sj(text):
    return text.encode("cp932")


def u16(*parts):
    return "\uffff".join(parts).encode("utf-16-le", "surrogatepass")


def matcher(flags, phrase, *subjects, b1=0, b2=0, b3=0, enc=sj):
    head = bytes([flags, b1, b2, b3])
    if enc is u16:
        return head + u16(phrase, *subjects)
    return head + SEP.join(enc(p) for p in (phrase,) + subjects)


def latin1(text):
    return text.encode("latin-1")


SEEDS = {
    "fuzz_matcher": [
        matcher(0, "abc", "xabcx", "ab", ""),
        matcher(0, "abc*", "abcx", "xabc"),
        matcher(0, "a?c", "abc", "abcd"),
        matcher(0, "#", "7", "７", "77"),
        matcher(0, "*#*", "no digit", "a1b"),
        matcher(0, "[1]", "x[1]y", "1"),
        matcher(0, "*[!a-c]?[*]#", "zzd*5", "a*5"),
        matcher(0, "[a-]x[-a][!-a][a-c-e]*", "-x--e", "ax-bdz"),
        matcher(0, "[]*", "x"),
        matcher(0, "[!]*[]]", "a]", "ab"),
        matcher(0, "*当選*", "本日当選,東京", "東京"),
        matcher(0, "*,abc,*", "x,abc,y", "abc,x"),
        matcher(0, "ソ表*能#", "ソ表xx能1", "ソ表能"),
        matcher(0, "[z-a]*", "z"),
        matcher(0, "[abc*", "a"),
        matcher(0, "*a*b*a*b*", "abababababab", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"),
        matcher(1, "*?\ud83d\ude00", "x\ud83d\ude00", "\ud800", enc=u16),
        matcher(1, "[\u3041-\u3093]*", "\u3042\u30a2", "\u30a2", enc=u16),
        matcher(2, "*\xe9#", "caf\xe95", enc=latin1),
        matcher(4, "", "the quick brown fox jumps over the lazy dog", b1=10, b2=9),
        matcher(12, "", "東京都千代田区,当選,123", b1=3, b2=5),
    ],
    "fuzz_list_file": [
        b"\x00" + sj('"0","当選"\r\n"3","東京"\r\n'),
        b"\x00" + sj('3 , 東京 \r\n"0","a,b"\r\n" 1 "," x "\r\n'),
        b"\x00" + sj("a,b,c\r\nd,e,f\r\n"),
        b"\x00" + sj('"1","say ""hi"""\r\n\r\n'),
        b"\x00" + sj('"0","x'),
        b"\x00" + sj('"2" tail ,"ソ表能"\n"3",\r"4"\r\n') + b"\x81\r\n\x80,\xa0\r\n",
        b"\x80" + SEP.join(sj(t) for t in ("0", "当選", "3", '東"京', "", "a,b\r\nc")),
        b"\x81" + u16("0", "caf\u00e9", "1", "\U0001f600"),
        b"\x82" + SEP.join(latin1(t) for t in ("5", "\xa5100", "6", "plain")),
    ],
    "fuzz_data_reader": [
        b"\x00\x03\x10\x00" + sj("a,b,c\r\nx,,z\r\n x , y ,z\r\nx,y,z,\r\n\r\nlast,line,nocrlf"),
        b"\x00\x05\x07\x00" + sj("当選,東京,大阪\r\n１,２,３\r\nソ,表,能\r\n\"q,uote\",x\r\n"),
        b"\x00\x00\x01\x00" + b"\x81\n,\x80,\xa0\r\n\xfd,\xfe,x\r\n\x82",
        b"\x00\x02\x02\x00" + sj("a,b\rc,d\r\ne,f\n\r\n,\r"),
        b"\x10\x01\x04\x00" + sj("a,b\r\nbad\r\n\r\nc,d\r\n1,2,3"),
        b"\x00\x3f\xff\x00" + sj("一行だけ"),
        # UTF-8 with a byte-order mark, a cut-off character and a correction for each rejected line.
        b"\x30\x02\x05\x00" + b"\xef\xbb\xbf" + "当選,東京\r\nソ表,能\r\nbad\r\n".encode() + b"\xe3\x81,x\n",
        # Split threshold 1: every batch of two bytes or more is scanned on two threads; a first
        # line past a 4-byte sample.
        b"\x05\x07\x40\x00" + sj("一,二,三,四\r\n3,4,5,6\r\nbad\r\n" * 6),
        # The same in the quoted field mode, with a quoted line break and a doubled quote.
        b"\x41\x05\x30\x00" + sj('a,"b\r\nc",d\r\n"x""y",,z\r\n"1,2",3,4\r\nbad\r\n' * 4),
        # The file grows during the read: 8 bytes at open(), the rest appended before step 1 and
        # carried into a second block; UTF-8 with a byte-order mark, plain and quoted.
        b"\xa2\x43\x05\x08" + b"\xef\xbb\xbf" + "当選,東京\r\nソ表,能\r\n".encode() * 5,
        b"\xe2\x04\x09\x06" + b'"q\r\n1",2\r\n3,"4\r\n5"\r\n6,7\r\n' * 4,
        # Quoted records: a header and inch marks, a quote still open, a quoted line break across
        # the middle of a batch that is split between two threads.
        b"\x50\x03\x02\x00" + b'h1,h2\n"1,5",x\n"a\r\nb",""\n,\n"",""\n12",a"b\n',
        b"\x40\x05\x07\x00" + b'"a","b,c"\r\n"x""y",z\n"open\n1,2\n"q\nr",s\r\n',
        b"\x41\x40\x07\x00" + b'"a\nb"\n"c\x17\n' * 8,
        # Quoted UTF-8: a file that is only a byte-order mark has no line.
        b"\xfb\x00\x00\x30\xef\xbb\xbf",
        # A first line longer than a 16-byte sample, split threshold 16.
        b"\x0a\x0b\x20\x00" + sj("長い一行目,長い一行目,長い一行目,長い一行目\r\na,b,c,d\r\n" * 3),
    ],
    "fuzz_byte_search": [
        # Kanji on the whole row and on a column, in both encodings and every list.
        bytes([0x00, 0x00]) + SEP.join(sj(t) for t in ("東京", "1,東京都,港区", "2,京都府,京都市", "3,東,京")),
        bytes([0x02, 0x02]) + SEP.join(sj(t) for t in ("港", "1,東京都,港区", "2,京都府,京都市")),
        bytes([0x05, 0x01]) + SEP.join(t.encode() for t in ("都", "1,東京都,港区", "2,京都府,京都市")),
        bytes([0x07, 0x03]) + SEP.join(t.encode() for t in ("café", "a,café", "b,cafe", "c,cafés")),
        # A trail byte that looks like ASCII: "ソ" is 0x83 0x5C, whose second byte is "\".
        bytes([0x00, 0x00]) + SEP.join([b"\\", sj("1,ソ"), b"2,a\\b", sj("3,表\\")]),
        bytes([0x10, 0x01]) + SEP.join(sj(t) for t in ("ｶﾞ", "1,ｶﾞｽ", "2,ガス", "3,ｶ")),
        # The phrase taken from the first row, two entries, an input-method form.
        bytes([0x18, 0x21]) + SEP.join(sj(t) for t in ("\x03", "10,品川区,〜", "20,目黒区,～")),
        bytes([0x00, 0x00]) + SEP.join([sj("〜"), sj("1,～"), sj("2,-")]),
    ],
    "fuzz_settings": [
        b"\x00" + sj("[Vornel Position]\r\nTop=1500\r\nLeft=900\r\n")
        + SEP + SEP.join(sj(t) for t in ("Vornel Position", "Top", "1200")),
        b"\x04" + SEP + SEP.join(sj(t) for t in ("Vornel Position", "Left", "-300")),
        b"\x00"
        + sj('; comment\r\n[Other]\r\nkey = "quoted" \r\n\r\n[vornel position]\r\ntop=1\r\n\r\n')
        + SEP + SEP.join(sj(t) for t in ("Vornel Position", "Left", "900")),
        b"\x00" + sj("[設定]\nキー=値\n[表]\nソ=能") + SEP + SEP.join(sj(t) for t in ("表", "ソ", "新しい値")),
        b"\x00" + sj("[A]\r\nx=1") + SEP + SEP.join(sj(t) for t in ("A", "y", "2")),
        b"\x00" + b"[B\x81]\r\n\x80=\xfd\r\n" + SEP + SEP.join(sj(t) for t in ("b", "K", "'v")),
        b"\x01" + sj("[A]\r\nx=1\r\n") + SEP + u16("A", "x", "\u00e9"),
        # Values at the 255-byte limit of a value read back.
        b"\x00" + sj("[Vornel Position]\r\nTop=1\r\n")
        + SEP + SEP.join(sj(t) for t in ("Vornel Position", "Top", "あ" * 127 + "x")),
        b"\x04" + SEP + SEP.join(sj(t) for t in ("S", "K", "1" * 250 + "表")),
    ],
}


def main():
    for target, seeds in SEEDS.items():
        folder = HERE / "corpus" / target
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        for i, seed in enumerate(seeds, 1):
            (folder / f"seed{i:02d}").write_bytes(seed)


if __name__ == "__main__":
    main()
