// Under node, cellshow.js is a command-line program (`node cellshow.js
// --record FILE`). Its file system is then the host's: every top-level folder
// is mounted as itself and the current folder is node's, so paths mean what
// they mean to the native program. The script stands in for the executable
// (/proc/self/exe), so the default data beside it is found as beside the
// native program. In a browser this does nothing: the page fills /data.
if (typeof process == 'object' && process.versions && process.versions.node &&
    typeof require == 'function') {
  // Node's own fetch cannot load a local path: hand the module its bytes.
  Module['wasmBinary'] =
      require('fs').readFileSync(__filename.replace(/\.js$/, '') + '.wasm');
  Module['preRun'] = [].concat(Module['preRun'] || [], function mountHost() {
    var fs = require('fs');
    function removeTree(path) {
      var node = FS.lookupPath(path).node;
      if (FS.isDir(node.mode)) {
        FS.readdir(path).forEach(function (name) {
          if (name != '.' && name != '..') removeTree(path + '/' + name);
        });
        FS.rmdir(path);
      } else {
        FS.unlink(path);
      }
    }
    fs.readdirSync('/').forEach(function (name) {
      // The module keeps its own devices and /proc.
      if (name == 'dev' || name == 'proc' || name == 'sys') return;
      var host = '/' + name;
      try {
        if (!fs.statSync(host).isDirectory()) return;
        if (FS.analyzePath(host).exists) removeTree(host);
        FS.mkdir(host);
        FS.mount(NODEFS, {root: host}, host);
      } catch (e) {
        // A folder that cannot be reached stays out, as if it did not exist.
      }
    });
    FS.symlink(require('path').resolve(__filename), '/proc/self/exe');
    FS.chdir(process.cwd());
  });
}
