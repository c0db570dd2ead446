<?xml version="1.0" encoding="UTF-8"?>
<!-- Shows a saved forum topic: its header values, its text and every reply.
     Texts are shown as text (never as markup), line breaks kept; element
     names are matched ignoring case. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:variable name="up" select="'ABCDEFGHIJKLMNOPQRSTUVWXYZ'"/>
  <xsl:variable name="low" select="'abcdefghijklmnopqrstuvwxyz'"/>
  <xsl:output method="html" encoding="UTF-8" indent="no"
              doctype-public="-//W3C//DTD HTML 4.01//EN"/>

  <xsl:template match="/">
    <xsl:apply-templates select="*[translate(local-name(),$up,$low)='topic']" mode="topic"/>
  </xsl:template>

  <xsl:template match="*" mode="topic">
    <xsl:variable name="issue" select="*[translate(local-name(),$up,$low)='issue']"/>
    <html>
      <head>
        <meta http-equiv="Content-Type" content="text/html; charset=UTF-8"/>
        <title><xsl:value-of select="$issue/*[translate(local-name(),$up,$low)='topicname']"/></title>
        <style type="text/css">
          body { font-family: "Noto Sans CJK SC", "WenQuanYi Micro Hei", sans-serif;
                 font-size: 14px; margin: 12px; color: #222; background: #fff; }
          h1 { font-size: 20px; margin: 0 0 8px 0; color: #134; }
          table.header { border-collapse: collapse; margin-bottom: 12px; }
          table.header td { border: 1px solid #cdd; padding: 3px 8px; }
          table.header td.name { background: #eef3f6; color: #456; white-space: nowrap; }
          .post { border: 1px solid #cdd; margin: 0 0 10px 0; }
          .post .by { background: #eef3f6; padding: 4px 8px; color: #345; }
          .post .by b { color: #134; }
          .post .text { padding: 8px; white-space: pre-wrap; word-wrap: break-word; }
          .issue { border-color: #9bb; }
          .closed { color: #a33; font-weight: bold; }
          h2 { font-size: 16px; margin: 16px 0 8px 0; color: #134; }
        </style>
      </head>
      <body>
        <h1 class="topic-title"><xsl:value-of select="$issue/*[translate(local-name(),$up,$low)='topicname']"/></h1>
        <table class="header">
          <tr>
            <td class="name">版块</td>
            <td><xsl:value-of select="$issue/*[translate(local-name(),$up,$low)='roomname']"/></td>
            <td class="name">发表时间</td>
            <td><xsl:value-of select="$issue/*[translate(local-name(),$up,$low)='postdatetime']"/></td>
          </tr>
          <tr>
            <td class="name">楼主</td>
            <td>
              <xsl:value-of select="$issue/*[translate(local-name(),$up,$low)='postusername']"/>
              <xsl:variable name="nick" select="$issue/*[translate(local-name(),$up,$low)='postusernickname']"/>
              <xsl:if test="string($nick) != '' and string($nick) != 'NULL'">
                <xsl:text> (</xsl:text><xsl:value-of select="$nick"/><xsl:text>)</xsl:text>
              </xsl:if>
            </td>
            <td class="name">等级 / 信誉</td>
            <td>
              <xsl:value-of select="$issue/*[translate(local-name(),$up,$low)='rank']"/>
              <xsl:text> / </xsl:text>
              <xsl:value-of select="$issue/*[translate(local-name(),$up,$low)='credit']"/>
            </td>
          </tr>
          <tr>
            <td class="name">分值</td>
            <td><xsl:value-of select="$issue/*[translate(local-name(),$up,$low)='point']"/></td>
            <td class="name">回复 / 阅读</td>
            <td>
              <xsl:value-of select="$issue/*[translate(local-name(),$up,$low)='replynum']"/>
              <xsl:text> / </xsl:text>
              <xsl:value-of select="$issue/*[translate(local-name(),$up,$low)='readnum']"/>
            </td>
          </tr>
          <tr>
            <td class="name">状态</td>
            <td colspan="3">
              <xsl:choose>
                <xsl:when test="number($issue/*[translate(local-name(),$up,$low)='endstate']) != 0">
                  <span class="closed">已结帖</span>
                </xsl:when>
                <xsl:otherwise>未结帖</xsl:otherwise>
              </xsl:choose>
            </td>
          </tr>
        </table>

        <div class="post issue">
          <div class="by">
            <b><xsl:value-of select="$issue/*[translate(local-name(),$up,$low)='postusername']"/></b>
            <xsl:text> </xsl:text>
            <xsl:value-of select="$issue/*[translate(local-name(),$up,$low)='postdatetime']"/>
          </div>
          <div class="text"><xsl:value-of select="$issue/*[translate(local-name(),$up,$low)='content']"/></div>
        </div>

        <xsl:variable name="replies" select=".//*[translate(local-name(),$up,$low)='reply']"/>
        <h2>回复 (<xsl:value-of select="count($replies)"/>)</h2>
        <xsl:for-each select="$replies">
          <div class="post reply">
            <div class="by">
              <xsl:text>#</xsl:text><xsl:value-of select="position()"/><xsl:text> </xsl:text>
              <b><xsl:value-of select="*[translate(local-name(),$up,$low)='postusername']"/></b>
              <xsl:variable name="nick" select="*[translate(local-name(),$up,$low)='postusernickname']"/>
              <xsl:if test="string($nick) != '' and string($nick) != 'NULL'">
                <xsl:text> (</xsl:text><xsl:value-of select="$nick"/><xsl:text>)</xsl:text>
              </xsl:if>
              <xsl:text> </xsl:text>
              <xsl:value-of select="*[translate(local-name(),$up,$low)='postdatetime']"/>
              <xsl:if test="string(*[translate(local-name(),$up,$low)='point']) != '' and string(*[translate(local-name(),$up,$low)='point']) != '0'">
                <xsl:text> 得分 </xsl:text><xsl:value-of select="*[translate(local-name(),$up,$low)='point']"/>
              </xsl:if>
            </div>
            <div class="text"><xsl:value-of select="*[translate(local-name(),$up,$low)='content']"/></div>
          </div>
        </xsl:for-each>
      </body>
    </html>
  </xsl:template>
</xsl:stylesheet>
