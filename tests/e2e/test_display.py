"""Window title and icons follow the page, in Views windows and in native windows."""

import re
import time
import unittest

from harness import NATIVE_VARIANT, ShellTestCase, net_wm_icon_sizes, png, wait_for

TITLED = """<html><head><title>First title</title>{links}<script src="/report.js"></script>
</head><body><script>
report('loaded', 1);
function setTitle(t) {{ document.title = t; report("title", t); }}
</script></body></html>"""


class DisplayTestCase(ShellTestCase):
    def prop(self, window, name):
        """The property's value as xprop prints it, or None when unset."""
        out = self.x("xprop", "-id", str(window), name)
        return None if "not found" in out or "no such atom" in out else out.split("=", 1)[1].strip()

    def icon_values(self, window):
        """_NET_WM_ICON as numbers (xprop draws icons as text art unless told the format)."""
        out = self.x("xprop", "-id", str(window), "-notype", "-f", "_NET_WM_ICON", "32c",
                     "=$0+\n", "_NET_WM_ICON")
        if "=" not in out:
            return None
        return [int(v) for v in re.findall(r"\d+", out.split("=", 1)[1])]

    def page_with_icons(self, *icons):
        links = "".join('<link rel="icon" href="%s">' % href for href in icons)
        self.server.add_page("/page.html", TITLED.format(links=links))


class TitleTest(DisplayTestCase):
    def test_title_follows_the_page(self):
        # The page changes its title on a timer; the window follows, an empty title included.
        self.server.add_page("/changing.html", """<html><head><title>one</title></head><body>
<script>var steps = ['two', '', 'Ünïcödé ✓'], i = 0;
setInterval(function () { if (i < steps.length) document.title = steps[i++]; }, 700);
</script></body></html>""")
        shell = self.start("--url=" + self.url("/changing.html"))
        (window,) = self.wait_windows(shell, 1)
        seen = []
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline and (not seen or seen[-1] != "Ünïcödé ✓"):
            name = self.x("xdotool", "getwindowname", str(window)).rstrip("\n")
            if not seen or seen[-1] != name:
                seen.append(name)
            time.sleep(0.05)
        self.assertEqual([s for s in seen if s in ("one", "two", "", "Ünïcödé ✓")][-4:],
                         ["one", "two", "", "Ünïcödé ✓"])

    def test_an_untitled_page_shows_its_url_in_both_window_modes(self):
        self.server.add_page("/untitled.html", "<html><body>no title</body></html>")
        self.server.add_page("/titled.html", """<html><head><title>Titled</title></head><body>
<script>setTimeout(function () { location.href = '/untitled.html#after'; }, 1000);</script>
</body></html>""")
        shown = self.server.origin.split("://", 1)[1]  # http:// is not shown
        cases = [  # (variant, start page, window names in order, the prefix)
            (None, "/untitled.html", [shown + "/untitled.html"], ""),
            (None, "/titled.html", ["Titled", shown + "/untitled.html#after"], ""),
            (NATIVE_VARIANT, "/untitled.html", [shown + "/untitled.html"], "Quenvale:- "),
            (NATIVE_VARIANT, "/titled.html", ["Titled", shown + "/untitled.html#after"],
             "Quenvale:- "),
        ]
        for variant, start, names, prefix in cases:
            with self.subTest(variant=variant, start=start):
                kwargs = {"variant": variant} if variant else {}
                shell = self.start("--url=" + self.url(start), **kwargs)
                (window,) = self.wait_windows(shell, 1)
                for name in names:
                    wait_for(lambda: self.x("xdotool", "getwindowname", str(window))
                             .rstrip("\n") == prefix + name, what=name)
                    if prefix:
                        self.assertEqual(self.prop(window, "_NET_WM_NAME"),
                                         '"%s%s"' % (prefix, name))
                shell.kill()


class FaviconTest(DisplayTestCase):
    def test_page_without_icon_links_asks_for_favicon_ico(self):
        self.page_with_icons()
        self.server.add_page("/favicon.ico", png(32, 32), "image/png")
        shell = self.start("--url=" + self.url("/page.html"))
        (window,) = self.wait_windows(shell, 1)
        wait_for(lambda: self.server.requested("/favicon.ico"), what="favicon request")
        values = wait_for(lambda: self.icon_values(window), what="an icon")
        self.assertEqual(net_wm_icon_sizes(values), [(16, 16)])

    def test_one_link_one_download_three_links_two(self):
        for name in ("a", "b", "c"):
            self.server.add_page("/%s.png" % name, png(128, 128), "image/png")
        self.page_with_icons("/a.png")
        shell = self.start("--url=" + self.url("/page.html"))
        (window,) = self.wait_windows(shell, 1)
        values = wait_for(lambda: self.icon_values(window), what="the icon")
        self.assertEqual(net_wm_icon_sizes(values), [(16, 16)])
        self.assertEqual(len(self.server.requested("/a.png")), 1)
        self.assertEqual(self.server.requested("/favicon.ico"), [])
        shell.kill()

        self.page_with_icons("/a.png", "/b.png", "/c.png")
        shell = self.start("--url=" + self.url("/page.html"))
        (window,) = self.wait_windows(shell, 1)
        values = wait_for(lambda: (lambda v: v if v and len(net_wm_icon_sizes(v)) == 2 else None)(
            self.icon_values(window)), what="both icons")
        # The first URL is the window icon (16), the second the application icon (96).
        self.assertEqual(sorted(net_wm_icon_sizes(values)), [(16, 16), (96, 96)])
        time.sleep(0.5)
        self.assertEqual(len(self.server.requested("/b.png")), 1)
        self.assertEqual(self.server.requested("/c.png"), [])

    def test_failed_download_changes_nothing(self):
        self.page_with_icons("/missing.png")
        shell = self.start("--url=" + self.url("/page.html"))
        (window,) = self.wait_windows(shell, 1)
        wait_for(lambda: self.server.requested("/missing.png"), what="the download")
        time.sleep(1.0)
        self.assertIsNone(self.icon_values(window))


class NativeModeTest(DisplayTestCase):
    def test_native_window_gets_prefixed_title_and_built_in_icons(self):
        self.server.add_page("/icon.png", png(48, 48), "image/png")
        self.server.add_page("/native.html", """<html><head><title>Welcome</title>
<link rel="icon" href="/icon.png"></head><body><script>
setTimeout(function () { document.title = ''; }, 1500);</script></body></html>""")
        shell = self.start("--url=" + self.url("/native.html"), variant=NATIVE_VARIANT)
        (window,) = self.wait_windows(shell, 1)
        wait_for(lambda: self.prop(window, "_NET_WM_NAME") == '"Quenvale:- Welcome"',
                 what="_NET_WM_NAME")
        self.assertEqual(self.prop(window, "WM_NAME"), '"Quenvale:- Welcome"')
        values = wait_for(lambda: self.icon_values(window), what="the icon set")
        self.assertEqual(len(values), 1284)
        self.assertEqual(net_wm_icon_sizes(values), [(16, 16), (32, 32)])
        wait_for(lambda: self.prop(window, "_NET_WM_NAME") == '"Quenvale:- "',
                 what="the empty title")
        self.close_window(window)
        self.assertEqual(shell.wait(), 0)


if __name__ == "__main__":
    unittest.main()
