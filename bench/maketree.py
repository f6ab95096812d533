#!/usr/bin/env python3
"""Makes the music trees the benchmarks walk, each once (a ROOT.complete stamp marks a whole one).

  maketree.py wide ROOT     1,000,000 files in about 127,000 folders, 36,000 of them at the top
                            level (artists holding two or three albums and a picture), every one
                            of the 13 song extensions present; about 898,000 songs
  maketree.py albums ROOT N N files in artist/album folders of 8 (2,500 artists for a million),
                            mixed extensions; three in four are songs (the scaling tree)
  maketree.py flat ROOT [N] one folder holding N files (default 200,000), nine in ten songs
  maketree.py tagged ROOT N N songs in artist/album folders of 8, each a hard link to one of 20
                            small MP3 files with tags and an Xing header giving a length of 2.5
                            to 5.5 minutes, so N songs take the disk of 20 files
"""
import os
import struct
import sys

# Every song extension at least once, mostly mp3, in mixed case as libraries hold them.
SONGS = ['mp3', 'MP3', 'mp3', 'wma', 'mp3', 'wav', 'mp3', 'mod', 'mp3', 'stm', 'Mp3', 's3m',
         'mp3', 'it', 'mp3', 'xm', 'mp3', 'mdz', 'mp3', 'stz', 'mp3', 's3z', 'mp3', 'itz', 'mp3',
         'xmz', 'mp2', 'mp3']
OTHERS = ['jpg', 'txt', 'flac', 'ogg', 'm4a', 'nfo', 'cue']


def touch(path):
    os.close(os.open(path, os.O_CREAT | os.O_WRONLY, 0o644))


def wide(root):
    artists, albums, files = 36000, 91000, 1000000
    album_files = files - artists  # each artist folder holds one picture of its own
    made_albums = 0
    n = 0
    for a in range(artists):
        artist = f'{root}/{"The " if a % 9 == 4 else ""}Artist {a * 7919 % artists:05d} band'
        os.makedirs(artist)
        touch(f'{artist}/folder.jpg')
        count = (a + 1) * albums // artists - a * albums // artists
        for b in range(count):
            album = f'{artist}/{1970 + (a + b) % 50} - Album {b}'
            os.mkdir(album)
            tracks = (made_albums + 1) * album_files // albums - made_albums * album_files // albums
            made_albums += 1
            for t in range(tracks):
                # 68 in 1000 are no songs: 898,000 songs of the million
                ext = OTHERS[n % len(OTHERS)] if n % 1000 < 68 else SONGS[n % len(SONGS)]
                touch(f'{album}/{t + 1:02d} - Song title {n}.{ext}')
                n += 1


def album_tracks(root, total, whole_artists):
    """The places of total tracks in artist folders of 50 album folders of 8 (the last artist
    made whole when whole_artists): (album folder, artist, album, track, number), folders made."""
    n = a = 0
    while n < total:
        for b in range(50):
            d = f'{root}/Artist {a:05d}/Album {b:02d}'
            os.makedirs(d, exist_ok=True)
            for t in range(8):
                yield d, a, b, t, n
                n += 1
                if n == total and not whole_artists:
                    return
        a += 1


def albums(root, total):
    exts = ['mp3', 'MP3', 'mp3', 'mp2', 'wma', 'wav', 'mod', 'it', 'xm', 's3m', 'flac', 'jpg',
            'mp3', 'ogg', 'txt', 'mp3']
    for d, a, b, t, n in album_tracks(root, total, True):
        touch(f'{d}/{t:02d} Track {n}.{exts[(a + b + t) % len(exts)]}')


def flat(root, total):
    os.makedirs(root)
    for n in range(total):
        ext = OTHERS[n % len(OTHERS)] if n % 10 == 0 else SONGS[n % len(SONGS)]
        touch(f'{root}/Track {n * 7919 % total:06d} of the big folder.{ext}')


def silent_frame(xing_frames=None):
    frame = bytearray(b'\xff\xfb\x90\x00' + b'\x00' * 413)
    if xing_frames:
        frame[36:52] = b'Xing' + struct.pack('>III', 3, xing_frames, xing_frames * 417)
    return bytes(frame)


def id3(artist, title):
    def text_frame(frame_id, text):
        body = b'\x03' + text.encode()
        n = len(body)
        return frame_id + bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127, n & 127,
                                 0, 0]) + body
    body = text_frame(b'TPE1', artist) + text_frame(b'TIT2', title)
    n = len(body)
    return b'ID3\x04\x00\x00' + bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127,
                                       n & 127]) + body


def tagged(root, total):
    os.makedirs(root + '/.sources')
    sources = []
    for i in range(20):
        seconds = 150 + i * 10
        path = f'{root}/.sources/{i:02d}.mp3'
        with open(path, 'wb') as out:
            out.write(id3(f'Artist {i}', f'Title {i}') +
                      silent_frame(int(seconds * 44100 / 1152)) + silent_frame() * 8)
        sources.append(path)
    for d, _, _, t, n in album_tracks(root, total, False):
        os.link(sources[n % 20], f'{d}/{t:02d} Track {n}.mp3')


def main():
    shape, root = sys.argv[1], sys.argv[2]
    if os.path.exists(root + '.complete'):
        return
    if os.path.exists(root):
        sys.exit(f'{root} is there but not complete: remove it first')
    print(f'making {root} (once)...', file=sys.stderr)
    if shape == 'wide':
        wide(root)
    elif shape == 'albums':
        albums(root, int(sys.argv[3]))
    elif shape == 'flat':
        flat(root, int(sys.argv[3]) if len(sys.argv) > 3 else 200000)
    elif shape == 'tagged':
        tagged(root, int(sys.argv[3]))
    else:
        sys.exit(__doc__)
    touch(root + '.complete')


main()
