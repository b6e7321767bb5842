"""Reading the referee's PGN files: games with their tags, and the moves with
the time each took (the referee's comments read {+0.32/6 0.04s})."""

import re

TIME_COMMENT = re.compile(r'\{[^}]*?(-?\d+(?:\.\d+)?)s\}')
MOVE_NUMBER = re.compile(r'^(\d+)\.')
RESULTS = ('1-0', '0-1', '1/2-1/2', '*')


def games(path):
    """Yields (tags, movetext) per game of a PGN file."""
    tags, text = {}, []
    with open(path, encoding='utf-8', errors='replace') as f:
        for line in f:
            if line.startswith('['):
                if text:
                    yield tags, ' '.join(text)
                    tags, text = {}, []
                m = re.match(r'\[(\w+) "(.*)"\]', line)
                if m:
                    tags[m.group(1)] = m.group(2)
            elif line.strip():
                text.append(line.strip())
    if text:
        yield tags, ' '.join(text)


def moves(tags, movetext, comments=False):
    """Yields (move number, side 0 = White / 1 = Black, SAN, seconds or None),
    and with `comments` also the text of the move's comment ('' without)."""
    side = 0 if ' w ' in tags.get('FEN', ' w ') else 1
    number = None
    pending = None
    for token in re.findall(r'\{[^}]*\}|\S+', movetext):
        m = MOVE_NUMBER.match(token)
        if m:
            number = int(m.group(1))
            side = 1 if token.endswith('...') else 0
            rest = token[m.end():].lstrip('.')
            if not rest:
                continue
            token = rest
        if token.startswith('{'):
            t = TIME_COMMENT.search(token)
            if pending is not None:
                yield pending + (float(t.group(1)) if t else None,) + ((token[1:-1],) if comments else ())
                pending = None
                if side == 1 and number is not None:
                    number += 1
                side ^= 1
            continue
        if token in RESULTS or number is None:
            continue
        if pending is not None:   # a move without a comment
            yield pending + (None,) + (('',) if comments else ())
            if side == 1:
                number += 1
            side ^= 1
        pending = (number, side, token)
    if pending is not None:
        yield pending + (None,) + (('',) if comments else ())
