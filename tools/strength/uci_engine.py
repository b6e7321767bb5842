"""A UCI engine driven through pipes: started, given options, and read line by line."""

import subprocess


class UciEngine:
    def __init__(self, command, options=()):
        self.proc = subprocess.Popen([command], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        self.send('uci')
        self.wait('uciok')
        for name, value in options:
            self.send(f'setoption name {name} value {value}')
        self.send('isready')
        self.wait('readyok')

    def send(self, line):
        self.proc.stdin.write(line + '\n')

    def readline(self):
        line = self.proc.stdout.readline()
        if not line:
            raise RuntimeError('the engine exited')
        return line

    def wait(self, token):
        """Reads lines until one starts with `token`, and returns it."""
        while True:
            line = self.readline()
            if line.startswith(token):
                return line
