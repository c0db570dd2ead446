-- The offline store of saved forum topics, articles and other pages.
-- Rows are read and written by column position: never reorder columns.
-- fContent holds the whole saved file plus one trailing zero byte.

-- Pointer-map pages let the engine step over a large fContent without
-- reading it when a list asks for fRemark behind it.
PRAGMA auto_vacuum = INCREMENTAL;

CREATE TABLE tCommunity (
    fID INTEGER NOT NULL UNIQUE,
    fTitle TEXT,
    fPostUserName TEXT,
    fPostUserNickName TEXT,
    fRank TEXT,
    fCredit INTEGER,
    fRoomID INTEGER,
    fRoomName TEXT,
    fReplyNum INTEGER,
    fPoint INTEGER,
    fReadNum INTEGER,
    fInDate DATETIME,
    fEndState INTEGER,
    fContent BLOB,
    fRemark TEXT
);
CREATE INDEX tCommunity_fRoomID ON tCommunity (fRoomID);

CREATE TABLE tDevelop (
    fID INTEGER NOT NULL UNIQUE,
    fTitle TEXT,
    fRoomID INTEGER,
    fRoomName TEXT,
    fInDate DATETIME,
    fAuthor TEXT,
    fContent BLOB,
    fRemark TEXT
);
CREATE INDEX tDevelop_fRoomID ON tDevelop (fRoomID);

CREATE TABLE tTopic (
    fTitle TEXT,
    fInDate DATETIME,
    fContent BLOB,
    fRemark TEXT
);
CREATE INDEX tTopic_fTitle ON tTopic (fTitle);
-- fRemark holds the address a page was saved from: saving it again finds
-- its row by it.
CREATE INDEX tTopic_fRemark ON tTopic (fRemark);
