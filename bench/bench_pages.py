"""The pages the bench's programs load, and the project files of the shell's runs (templates:
{{TOKEN}} and the counts are filled in by bench.py)."""

START_PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8"><title>bench</title></head>
<body><h1>qvexdesk bench</h1><p>A small page: a heading, a paragraph and one script.</p>
<script>
addEventListener('load', function () {
  var x = new XMLHttpRequest();
  x.open('GET', '/loaded?t={{TOKEN}}', true);
  x.send();
});
// The shell's close calls it: when it ran tells how long the page had before the exit.
window.qvex_nt_api = { unload: function () {
  var x = new XMLHttpRequest();
  x.open('GET', '/unloaded?t={{TOKEN}}', false);
  try { x.send(); } catch (e) {}
} };
</script></body></html>"""

POST_JS = """
function post(obj) {
  var x = new XMLHttpRequest();
  x.open('POST', '/result?t={{TOKEN}}', true);
  x.send(JSON.stringify(obj));
}
function rate(fn, n) {
  var t0 = performance.now();
  for (var i = 0; i < n; i++) fn(i);
  return n / ((performance.now() - t0) / 1000);
}
function clockCost() {
  var d = [];
  for (var i = 0; i < 2000; i++) { var a = benchNow(); d.push(benchNow() - a); }
  d.sort(function (x, y) { return x - y; });
  return d[d.length >> 1];
}
"""

# Native calls/s (a native that does nothing, the bare JSC callback beside it) and the time
# from registerCallBack to its posted onRegistered, each sample timed with the bench clock.
BRIDGE_PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8"><title>bridge</title></head>
<body><script>""" + POST_JS + """
function run() {
  if (typeof sendKey !== 'function' || typeof registerCallBack !== 'function') {
    post({error: 'native functions missing: sendKey ' + typeof sendKey +
                 ', registerCallBack ' + typeof registerCallBack});
    return;
  }
  var N = {{CALLS}}, REPS = {{REPS}};
  var native = [], bare = [], gobject = [];
  rate(function () { sendKey(); }, N / 4);       // warm-up (JIT)
  rate(function () { benchNop(); }, N / 4);
  rate(function () { benchNopGObject(); }, N / 4);
  for (var r = 0; r < REPS; r++) {
    native.push(rate(function () { sendKey(); }, N));
    bare.push(rate(function () { benchNop(); }, N));
    gobject.push(rate(function () { benchNopGObject(); }, N));
  }
  var lat = [], i = 0, M = {{DELIVERIES}}, WARM = 200, registered = [];
  function ignore() {}
  function next() {
    var t0 = benchNow();
    registerCallBack(ignore, ignore, function (number) {
      var t1 = benchNow();
      if (i >= WARM) lat.push(t1 - t0);
      if (registered.length < 3) registered.push(number);
      if (++i < M + WARM) next(); else post({native: native, bare: bare, gobject: gobject, latency: lat,
                                             clock: clockCost(), registered: registered});
    });
  }
  next();
  setTimeout(function () {
    if (i < M + WARM) post({error: 'deliveries stopped after ' + i + ' calls'});
  }, 20000);
}
addEventListener('load', function () { setTimeout(run, 300); });
</script></body></html>"""

# Round trips to the UI process and back, one after the other: cefQuery answered at once by the
# test variant, or rawPing (one WebKit user message and its reply) in the bare program.
ROUTER_PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8"><title>router</title></head>
<body><script>""" + POST_JS + """
function run() {
  var send;
  if (typeof cefQuery === 'function') {
    send = function (done, fail) {
      cefQuery({request: 'ping', persistent: false, onSuccess: done,
                onFailure: function (code, message) { fail(code + ' ' + message); }});
    };
  } else if (typeof rawPing === 'function') {
    send = function (done, fail) { rawPing('ping', done); };
  } else {
    post({error: 'neither cefQuery nor rawPing in the page'});
    return;
  }
  var lat = [], i = 0, M = {{TRIPS}}, WARM = 200, answer = null;
  function fail(why) { post({error: 'round trip failed: ' + why}); }
  function next() {
    var t0 = benchNow();
    send(function (response) {
      var t1 = benchNow();
      if (answer === null) answer = response;
      if (i >= WARM) lat.push(t1 - t0);
      if (++i < M + WARM) next(); else post({latency: lat, clock: clockCost(), answer: answer});
    }, fail);
  }
  next();
  setTimeout(function () {
    if (i < M + WARM) post({error: 'round trips stopped after ' + i});
  }, 20000);
}
addEventListener('load', function () { setTimeout(run, 300); });
</script></body></html>"""

# Main-frame loads one after another: each document notes the time from its navigation's start
# to its load event, then navigates to the next; the last posts them all.
LOADS_PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8"><title>loads</title>
<script>var seenFirstJs = typeof qvex_nt_api === 'object';</script></head>
<body><p>One of a series of small pages.</p><script>
addEventListener('load', function () {
  setTimeout(function () {
    var n = Number(location.search.match(/n=(\\d+)/)[1]);
    var nav = performance.getEntriesByType('navigation')[0];
    var times = JSON.parse(sessionStorage.getItem('times') || '[]');
    var seen = Number(sessionStorage.getItem('seen') || 0) + (seenFirstJs ? 1 : 0);
    if (n > 0) times.push(nav.loadEventStart);  // The first load is the cold start's.
    sessionStorage.setItem('times', JSON.stringify(times));
    sessionStorage.setItem('seen', seen);
    if (n < {{LOADS}}) {
      location.href = '/loads.html?t={{TOKEN}}&n=' + (n + 1);
    } else {
      var x = new XMLHttpRequest();
      x.open('POST', '/result?t={{TOKEN}}', true);
      x.send(JSON.stringify({times: times, seen_first_js: seen}));
    }
  }, 0);
});
</script></body></html>"""

QVEXEXT_JS = """// The natives the bench pages call.
native function registerCallBack(onResult, onError, onRegistered);
native function sendKey(key);
native function clipboardWriteText(text, onDone);
"""
FIRST_JS = "var qvex_nt_api = { unload: function () {} };\n"
