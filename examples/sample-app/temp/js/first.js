// Runs in the main frame at the start of every page load of this project.
window.qvex_nt_api = {
  started: new Date().toISOString(),
  unload: function () {
    // The shell calls this before the window goes away.
    try { localStorage.setItem('qvex-last-close', new Date().toISOString()); } catch (e) {}
    // Tell the backend; the shell stops it only after this close sequence.
    try {
      var x = new XMLHttpRequest();
      x.open('POST', '/api/closed', false);
      x.send('');
    } catch (e) {}
  }
};
