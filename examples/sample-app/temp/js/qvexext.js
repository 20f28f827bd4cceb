// The native side of this project: the shell answers the functions declared "native".
var qvex_native = qvex_native || {};
(function () {
  native function registerCallBack(onResult, onError, onRegistered);
  native function clipboardWriteText(text, onDone);
  native function paste(onDone);
  native function sendKey(key);
  native function triggerApp(name, payload);
  native function triggerEvent(name, a, b, c);
  native function unload();

  qvex_native.registerCallBack = registerCallBack;
  qvex_native.clipboardWriteText = clipboardWriteText;
  qvex_native.paste = paste;
  qvex_native.sendKey = sendKey;
  qvex_native.triggerApp = triggerApp;
  qvex_native.triggerEvent = triggerEvent;
  qvex_native.unload = unload;
})();
